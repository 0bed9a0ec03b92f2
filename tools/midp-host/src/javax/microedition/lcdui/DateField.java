package javax.microedition.lcdui;

/** Host implementation. */
public class DateField extends Item {
    public static final int DATE = 1;
    public static final int TIME = 2;
    public static final int DATE_TIME = 3;
    java.util.Date date;
    int mode;

    public DateField(String label, int mode) {
        this.label = label;
        this.mode = mode;
    }

    public DateField(String label, int mode, java.util.TimeZone timeZone) {
        this(label, mode);
    }

    public java.util.Date getDate() {
        return date;
    }

    public void setDate(java.util.Date date) {
        this.date = date;
    }

    public int getInputMode() {
        return mode;
    }

    public void setInputMode(int mode) {
        this.mode = mode;
    }

    String show() {
        return (label == null ? "" : label + " ") + (date == null ? "" : date.toString());
    }
}
