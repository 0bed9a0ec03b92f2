package javax.microedition.lcdui;

/** The text, limit and constraints shared by TextField and TextBox. */
final class TextModel {
    final StringBuilder text = new StringBuilder();
    int max;
    int constraints;

    TextModel(String initial, int max, int constraints) {
        if (max <= 0) throw new IllegalArgumentException("maxSize " + max);
        this.max = max;
        this.constraints = constraints;
        set(initial);
    }

    void set(String s) {
        String v = s == null ? "" : s;
        if (v.length() > max) throw new IllegalArgumentException("text longer than " + max);
        if ((constraints & TextField.CONSTRAINT_MASK) == TextField.NUMERIC && !v.matches("-?[0-9]*"))
            throw new IllegalArgumentException("not numeric: " + v);
        text.setLength(0);
        text.append(v);
    }

    void insert(String s, int position) {
        text.insert(Math.max(0, Math.min(position, text.length())), s);
    }

    int getChars(char[] data) {
        text.getChars(0, text.length(), data, 0);
        return text.length();
    }

    String shown() {
        return (constraints & TextField.PASSWORD) != 0 ? "*".repeat(text.length()) : text.toString();
    }
}
