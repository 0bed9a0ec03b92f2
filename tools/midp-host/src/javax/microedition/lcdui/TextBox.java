package javax.microedition.lcdui;

/** Host implementation. */
public class TextBox extends Screen {
    final TextModel model;

    public TextBox(String title, String text, int maxSize, int constraints) {
        this.title = title;
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

    java.util.List<String> lines() {
        return java.util.Collections.singletonList("[" + model.shown() + "]");
    }
}
