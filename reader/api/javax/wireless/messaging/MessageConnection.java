// Compile-time stub of the Wireless Messaging API (signatures only). Use it
// only from a class that is loaded after a run-time check found the API.
package javax.wireless.messaging;

public interface MessageConnection extends javax.microedition.io.Connection {
    public static final String TEXT_MESSAGE = "text";
    public static final String BINARY_MESSAGE = "binary";
    public Message newMessage(String type);
    public Message newMessage(String type, String address);
    public void send(Message msg) throws java.io.IOException, java.io.InterruptedIOException;
    public Message receive() throws java.io.IOException, java.io.InterruptedIOException;
    public int numberOfSegments(Message msg);
}
