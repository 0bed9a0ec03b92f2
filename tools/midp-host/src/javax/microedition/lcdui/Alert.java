package javax.microedition.lcdui;

/** Host implementation: shown until the host's next action after its timeout. */
public class Alert extends Screen {
    public static final int FOREVER = -2;
    String text;
    Image image;
    AlertType type;
    int timeout = 2000;
    Displayable next;

    public Alert(String title) {
        this.title = title;
    }

    public Alert(String title, String alertText, Image alertImage, AlertType alertType) {
        this.title = title;
        this.text = alertText;
        this.image = alertImage;
        this.type = alertType;
    }

    public int getDefaultTimeout() { return 2000; }
    public int getTimeout() { return timeout; }
    public void setTimeout(int time) { timeout = time; }
    public AlertType getType() { return type; }
    public void setType(AlertType type) { this.type = type; }
    public String getString() { return text; }
    public void setString(String str) { text = str; }
    public Image getImage() { return image; }
    public void setImage(Image img) { image = img; }

    public void addCommand(Command cmd) {
        throw new IllegalStateException("MIDP 1.0 alerts take no commands");
    }

    public void setCommandListener(CommandListener l) {
        throw new IllegalStateException("MIDP 1.0 alerts take no commands");
    }

    java.util.List<String> lines() {
        return java.util.Collections.singletonList(text == null ? "" : text);
    }
}
