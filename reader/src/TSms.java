import javax.microedition.io.Connector;
import javax.wireless.messaging.MessageConnection;
import javax.wireless.messaging.TextMessage;

// Sends the text message of an SMS link through the Wireless Messaging API;
// loaded only where that API exists.
public class TSms {
    // Sends body to number; returns a line that tells the reader how it went.
    static String send(String number, String body) {
        MessageConnection connection = null;
        try {
            connection = (MessageConnection) Connector.open("sms://" + number);
            TextMessage message = (TextMessage) connection.newMessage(MessageConnection.TEXT_MESSAGE);
            message.setPayloadText(body);
            connection.send(message);
            return number + ": OK";
        } catch (Throwable e) {
            return number + ": " + e.toString();
        } finally {
            try {
                if (connection != null) connection.close();
            } catch (Throwable e) {
                // already closed
            }
        }
    }
}
