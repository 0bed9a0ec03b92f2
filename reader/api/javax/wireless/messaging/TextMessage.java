// Compile-time stub of the Wireless Messaging API (signatures only). Use it
// only from a class that is loaded after a run-time check found the API.
package javax.wireless.messaging;

public interface TextMessage extends Message {
    public String getPayloadText();
    public void setPayloadText(String data);
}
