package javax.microedition.lcdui;

/** Host implementation. */
public class Ticker {
    String text;

    public Ticker(String str) {
        text = str;
    }

    public void setString(String str) {
        text = str;
    }

    public String getString() {
        return text;
    }
}
