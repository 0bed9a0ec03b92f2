package javax.microedition.lcdui;

/** Host implementation. */
public class TextField extends Item {
    public static final int ANY = 0;
    public static final int EMAILADDR = 1;
    public static final int NUMERIC = 2;
    public static final int PHONENUMBER = 3;
    public static final int URL = 4;
    public static final int PASSWORD = 0x10000;
    public static final int CONSTRAINT_MASK = 0xFFFF;
    final TextModel model;

    public TextField(String label, String text, int maxSize, int constraints) {
        this.label = label;
        model = new TextModel(text, maxSize, constraints);
    }

    public String getString() { return model.text.toString(); }
    public void setString(String text) { model.set(text); }
    public int getChars(char[] data) { return model.getChars(data); }
    public void setChars(char[] data, int offset, int length) { model.set(new String(data, offset, length)); }
    public void insert(String src, int position) { model.insert(src, position); }
    public void insert(char[] data, int offset, int length, int position) { model.insert(new String(data, offset, length), position); }
    public void delete(int offset, int length) { model.text.delete(offset, offset + length); }
    public int getMaxSize() { return model.max; }
    public int setMaxSize(int maxSize) { model.max = maxSize; return maxSize; }
    public int size() { return model.text.length(); }
    public int getCaretPosition() { return model.text.length(); }
    public void setConstraints(int constraints) { model.constraints = constraints; }
    public int getConstraints() { return model.constraints; }

    String show() {
        return (label == null ? "" : label + " ") + "[" + model.shown() + "]";
    }
}
