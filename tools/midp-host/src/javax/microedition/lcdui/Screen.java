package javax.microedition.lcdui;

import java.awt.Color;
import java.awt.Graphics2D;

/** Host implementation: a titled screen drawn as lines of text. */
public abstract class Screen extends Displayable {
    String title;
    Ticker ticker;

    Screen() {}

    public String getTitle() {
        return title;
    }

    public void setTitle(String s) {
        title = s;
    }

    public Ticker getTicker() {
        return ticker;
    }

    public void setTicker(Ticker t) {
        ticker = t;
    }

    /** The body lines of the screen, below its title. */
    abstract java.util.List<String> lines();

    void render(Graphics2D g, int width, int height) {
        g.setColor(Color.WHITE);
        g.fillRect(0, 0, width, height);
        java.awt.Font f = Font.awtFont(Font.FACE_SYSTEM, Font.STYLE_PLAIN, Font.SIZE_SMALL);
        g.setFont(f.deriveFont(java.awt.Font.BOLD));
        java.awt.FontMetrics m = g.getFontMetrics();
        int y = m.getAscent() + 1;
        g.setColor(Color.BLACK);
        if (title != null) {
            g.drawString(title, 2, y);
            y += m.getHeight();
            g.drawLine(0, y - m.getAscent(), width, y - m.getAscent());
            y += 2;
        }
        g.setFont(f);
        m = g.getFontMetrics();
        for (String line : lines()) {
            for (String part : wrap(line, m, width - 4)) {
                g.drawString(part, 2, y);
                y += m.getHeight();
            }
        }
        StringBuilder soft = new StringBuilder();
        for (Command c : commands) soft.append(soft.length() > 0 ? " | " : "").append(c.getLabel());
        g.drawString(soft.toString(), 2, height - m.getDescent() - 1);
    }

    static java.util.List<String> wrap(String text, java.awt.FontMetrics m, int width) {
        java.util.List<String> out = new java.util.ArrayList<>();
        for (String para : text.split("\n", -1)) {
            StringBuilder line = new StringBuilder();
            for (String word : para.split(" ", -1)) {
                String candidate = line.length() == 0 ? word : line + " " + word;
                if (m.stringWidth(candidate) > width && line.length() > 0) {
                    out.add(line.toString());
                    line = new StringBuilder(word);
                } else {
                    line = new StringBuilder(candidate);
                }
            }
            out.add(line.toString());
        }
        return out;
    }

    String describe() {
        StringBuilder b = new StringBuilder(getClass().getSimpleName() + ": " + title);
        for (String line : lines()) b.append("\n  ").append(line);
        for (Command c : commands) b.append("\n  [").append(c.getLabel()).append("]");
        return b.toString();
    }
}
