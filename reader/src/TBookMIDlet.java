import java.io.DataInputStream;
import java.io.InputStream;
import java.io.IOException;
import java.util.Hashtable;
import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Command;
import javax.microedition.lcdui.CommandListener;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Displayable;
import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Form;
import javax.microedition.lcdui.Graphics;
import javax.microedition.midlet.MIDlet;

// The reader: reads cfg.dat and the book text files of its own archive and
// shows the book page by page.
public class TBookMIDlet extends MIDlet implements CommandListener {
    static TBookMIDlet instance;

    // Interface texts used when cfg.dat does not carry them: index, tab,
    // text, line feed.
    private static final String DEFAULT_TEXTS = "1107\tExit\n1200\tFatal error\n";

    private Display display;
    private Canvas canvas;
    private Command exitCommand;

    // From cfg.dat.
    private int textLength;
    private int lineSpacing;
    private int charSpacing;
    private boolean wordWrap;
    private int[] schemes; // back, font and link colour of each scheme
    private int textMargin;
    private int firstLinkId;
    private int lastLinkId;
    private TLinkItem[] links;
    private int passwordMode;
    private String checkString;
    private int checkValue;
    private Hashtable texts = new Hashtable();

    // Low 16 bits of the book password: the mask of the text files.
    private int mask;

    // The two most recently read text files (4096 code units each).
    private static final int PIECE_BITS = 12;
    private static final int PIECE_SIZE = 1 << PIECE_BITS;
    private final char[][] pieces = new char[2][];
    private final int[] pieceIndex = {-1, -1};
    private int pieceNext;

    // Display state.
    private int scheme;
    private TFont font;
    private int screenWidth;
    private int screenHeight;
    private int top;      // first character of the page on screen
    private int next;     // first character of the following page
    private boolean laidOut;
    private int[] lineStart = new int[32];
    private int lineCount;

    public TBookMIDlet() {
        instance = this;
    }

    protected void startApp() {
        if (display != null) return;
        display = Display.getDisplay(this);
        try {
            readSettings();
            font = new TFont(Font.FACE_PROPORTIONAL, Font.STYLE_PLAIN, Font.SIZE_MEDIUM);
            canvas = TBookCanvasInit.create();
            display.setCurrent(canvas);
        } catch (Throwable e) {
            fatal(e);
        }
    }

    protected void pauseApp() {}

    protected void destroyApp(boolean unconditional) {}

    public void commandAction(Command c, Displayable d) {
        if (c == exitCommand) {
            destroyApp(true);
            notifyDestroyed();
        }
    }

    // A damaged midlet ends here: a form that names the fault instead of a crash.
    private void fatal(Throwable e) {
        Form form = new Form(text(1200));
        form.append(e.toString());
        exitCommand = new Command(text(1107), Command.EXIT, 1);
        form.addCommand(exitCommand);
        form.setCommandListener(this);
        display.setCurrent(form);
    }

    // --- Settings ----------------------------------------------------------

    private static DataInputStream open(String name) throws IOException {
        InputStream in = instance.getClass().getResourceAsStream(name);
        if (in == null) throw new IOException("No " + name);
        return new DataInputStream(in);
    }

    private static String readString(DataInputStream in) throws IOException {
        int n = in.readInt();
        if (n < 0 || n > 65535) throw new IOException("Bad string length " + n);
        char[] chars = new char[n];
        for (int i = 0; i < n; i++) chars[i] = in.readChar();
        return new String(chars);
    }

    private void readSettings() throws IOException {
        DataInputStream in = open("/cfg.dat");
        try {
            textLength = in.readInt();
            lineSpacing = in.readInt();
            charSpacing = in.readInt();
            wordWrap = in.readInt() != 0;
            in.readInt(); // portrait layout
            int count = in.readInt();
            if (count < 1 || count > 8) throw new IOException("Bad colour schemes " + count);
            schemes = new int[count * 3];
            for (int i = 0; i < schemes.length; i++) schemes[i] = in.readInt();
            textMargin = in.readInt();
            in.readInt(); // picture margin
            in.readInt(); // smooth scroll
            in.readInt(); // splash timeout
            in.readInt(); // font count
            in.readInt(); // table of contents position
            firstLinkId = in.readInt();
            lastLinkId = in.readInt();
            int linkCount = lastLinkId - firstLinkId + 1;
            if (linkCount < 0 || linkCount > 65536) throw new IOException("Bad link range");
            links = new TLinkItem[linkCount];
            for (int i = 0; i < linkCount; i++) links[i] = new TLinkItem(readString(in));
            passwordMode = in.readInt();
            checkString = readString(in);
            checkValue = in.readInt();
            int textCount = in.readInt();
            for (int i = 0; i < textCount; i++) {
                int index = in.readInt();
                texts.put(new Integer(index), readString(in));
            }
        } finally {
            in.close();
        }
        mask = maskFromCheck();
    }

    // The check value is h = XOR over i of ((s[i] ^ P ^ i) & 0xffff) << (15 - i),
    // so its part that comes from the password P is the XOR of P shifted by 0
    // to 15 bits; undoing that prefix XOR yields the low 16 bits of P.
    private int maskFromCheck() {
        int known = 0;
        for (int i = 0; i < checkString.length(); i++)
            known = (known << 1) ^ ((checkString.charAt(i) ^ i) & 0xffff);
        int folded = known ^ checkValue;
        int p = 0;
        int previous = 0;
        for (int k = 0; k < 16; k++) {
            int bit = (folded >>> k) & 1;
            p |= (bit ^ previous) << k;
            previous = bit;
        }
        return p;
    }

    // An interface text: cfg.dat's, else the built-in English one.
    String text(int index) {
        Object t = texts.get(new Integer(index));
        if (t != null) return (String) t;
        String key = "\n" + index + "\t";
        String all = "\n" + DEFAULT_TEXTS;
        int at = all.indexOf(key);
        if (at < 0) return "";
        at += key.length();
        return all.substring(at, all.indexOf('\n', at));
    }

    // --- Book text -----------------------------------------------------------

    // The character at pos, 0 outside the text.
    char charAt(int pos) {
        if (pos < 0 || pos >= textLength) return 0;
        int index = pos >> PIECE_BITS;
        char[] piece;
        if (pieceIndex[0] == index) piece = pieces[0];
        else if (pieceIndex[1] == index) piece = pieces[1];
        else piece = readPiece(index);
        int offset = pos & (PIECE_SIZE - 1);
        return offset < piece.length ? piece[offset] : ' ';
    }

    private char[] readPiece(int index) {
        char[] piece = new char[0];
        try {
            DataInputStream in = open("/book" + index + ".dat");
            try {
                int n = Math.min(PIECE_SIZE, textLength - (index << PIECE_BITS));
                piece = new char[n];
                for (int i = 0; i < n; i++) piece[i] = (char) (in.readChar() ^ mask);
            } finally {
                in.close();
            }
        } catch (IOException e) {
            // A missing or short file shows as blanks; the reader goes on.
        }
        int slot = pieceNext;
        pieceNext = 1 - slot;
        pieces[slot] = piece;
        pieceIndex[slot] = index;
        return piece;
    }

    boolean isLinkId(char c) {
        return c >= firstLinkId && c <= lastLinkId;
    }

    // --- Layout --------------------------------------------------------------

    private int textWidth() {
        return screenWidth - 2 * textMargin;
    }

    private int textHeight() {
        return screenHeight - 2 * textMargin;
    }

    private int lineHeight() {
        return Math.max(1, font.height + lineSpacing);
    }

    private int advance(char c) {
        return Math.max(1, font.charWidth(c) + charSpacing);
    }

    // The first character of the line after the one that starts at pos.
    private int lineEnd(int pos) {
        int width = textWidth();
        int x = 0;
        int wrap = -1;
        int i = pos;
        while (i < textLength) {
            char c = charAt(i);
            if (c == '\n') return i + 1;
            if (c == '\r' || isLinkId(c)) {
                i++;
                continue;
            }
            int w = advance(c);
            if (x + w > width && i > pos) {
                if (wordWrap && wrap > pos) return wrap;
                return i;
            }
            x += w;
            i++;
            if (c == ' ' || c == '-') wrap = i;
        }
        return textLength;
    }

    private void layout() {
        int rows = Math.max(1, textHeight() / lineHeight());
        if (lineStart.length < rows + 1) lineStart = new int[rows + 1];
        int pos = top;
        lineCount = 0;
        while (lineCount < rows && pos < textLength) {
            lineStart[lineCount++] = pos;
            pos = lineEnd(pos);
        }
        lineStart[lineCount] = pos;
        next = pos;
        laidOut = true;
    }

    // The first character of the page that ends where the page at pos begins.
    private int previousPage(int pos) {
        int rows = Math.max(1, textHeight() / lineHeight());
        int[] starts = new int[rows];
        int found = 0;
        int end = pos;
        while (found < rows && end > 0) {
            // Lines are laid out from the start of the paragraph, at most one
            // text file back, so the line breaks match the forward layout.
            int from = end - 1;
            int limit = Math.max(0, end - PIECE_SIZE);
            while (from > limit && charAt(from - 1) != '\n') from--;
            int[] ring = new int[rows];
            int n = 0;
            for (int p = from; p < end; p = lineEnd(p)) ring[n++ % rows] = p;
            for (int k = 0; k < Math.min(n, rows) && found < rows; k++)
                starts[found++] = ring[(n - 1 - k) % rows];
            end = from;
        }
        return found == 0 ? 0 : starts[found - 1];
    }

    // --- Screen --------------------------------------------------------------

    void paint(Graphics g, int width, int height) {
        if (width != screenWidth || height != screenHeight) {
            screenWidth = width;
            screenHeight = height;
            laidOut = false;
        }
        if (!laidOut) layout();
        int back = schemes[scheme * 3];
        int ink = schemes[scheme * 3 + 1];
        int linkInk = schemes[scheme * 3 + 2];
        g.setColor(back);
        g.fillRect(0, 0, width, height);
        int h = lineHeight();
        for (int line = 0; line < lineCount; line++) {
            int x = textMargin;
            int y = textMargin + line * h;
            int end = lineStart[line + 1];
            for (int i = lineStart[line]; i < end; i++) {
                char c = charAt(i);
                if (c == '\n' || c == '\r' || isLinkId(c)) continue;
                char before = charAt(i - 1);
                boolean link = isLinkId(before) && charAt(i + 1) == before;
                int w = advance(c);
                g.setColor(link ? linkInk : ink);
                font.drawChar(g, c, x, y);
                if (link) g.fillRect(x, y + font.height - 1, w, 1);
                x += w;
            }
        }
    }

    void keyPressed(int keyCode) {
        int action = 0;
        try {
            action = canvas.getGameAction(keyCode);
        } catch (Throwable e) {
            // not a key with a game action
        }
        if (action == Canvas.DOWN || action == Canvas.RIGHT || keyCode == Canvas.KEY_POUND) {
            if (laidOut && next < textLength) top = next;
        } else if (action == Canvas.UP || action == Canvas.LEFT) {
            top = previousPage(top);
        } else {
            return;
        }
        laidOut = false;
        canvas.repaint();
    }
}
