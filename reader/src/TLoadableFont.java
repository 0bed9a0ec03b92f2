import java.io.DataInputStream;
import java.io.IOException;
import java.io.InputStream;
import javax.microedition.lcdui.Graphics;

// A bitmap font of the midlet's font files "font" + f + "p" + m + ".dat": a
// stream of big-endian words, the cell height, then 16 groups of characters
// (code, width, one word per column, bit k = row k) cut into files of 2048
// words. The glyphs are drawn as runs of pixels, upright or turned.
public class TLoadableFont extends TFont {
    private static final int PIECE_WORDS = 2048;
    private int[] words;
    private char[] codes;   // sorted
    private int[] offsets;  // index in words of each code's width word
    // A heading font draws each column twice, one pixel apart: bold.
    private boolean bold;

    // The bold font of chapter headings, on the glyphs of plain.
    private TLoadableFont(TLoadableFont plain) {
        words = plain.words;
        codes = plain.codes;
        offsets = plain.offsets;
        height = plain.height;
        bold = true;
    }

    TFont heading() {
        if (heading == null) heading = new TLoadableFont(this);
        return heading;
    }

    TLoadableFont(int index) throws IOException {
        int[] all = new int[PIECE_WORDS];
        int total = 0;
        for (int m = 0; ; m++) {
            InputStream in = getClass().getResourceAsStream("/font" + index + "p" + m + ".dat");
            if (in == null) {
                if (m == 0) throw new IOException("No font " + index);
                break;
            }
            DataInputStream data = new DataInputStream(in);
            int n = 0;
            try {
                while (n < PIECE_WORDS) {
                    if (total == all.length) {
                        int[] bigger = new int[all.length * 2];
                        System.arraycopy(all, 0, bigger, 0, total);
                        all = bigger;
                    }
                    all[total] = data.readInt();
                    total++;
                    n++;
                }
            } catch (IOException e) {
                // end of a short piece
            } finally {
                data.close();
            }
            if (n < PIECE_WORDS) break;
        }
        words = all;
        if (total < 17) throw new IOException("Short font " + index);
        height = Math.min(32, words[0]);
        // Index the glyphs: walk the 16 groups.
        int count = 0;
        int pos = 1;
        for (int g = 0; g < 16 && pos < total; g++) {
            int end = Math.min(total, pos + 1 + words[pos]);
            for (int p = pos + 1; p + 1 < end; p += 2 + Math.max(0, words[p + 1])) count++;
            pos = end;
        }
        // A font without glyphs would show a blank page: the reader takes the
        // next font type instead.
        if (count == 0) throw new IOException("Empty font " + index);
        codes = new char[count];
        offsets = new int[count];
        int k = 0;
        pos = 1;
        for (int g = 0; g < 16 && pos < total; g++) {
            int end = Math.min(total, pos + 1 + words[pos]);
            for (int p = pos + 1; p + 1 < end && k < count; p += 2 + Math.max(0, words[p + 1])) {
                // Insertion keeps the codes sorted for the binary search.
                int at = k++;
                char c = (char) words[p];
                while (at > 0 && codes[at - 1] > c) {
                    codes[at] = codes[at - 1];
                    offsets[at] = offsets[at - 1];
                    at--;
                }
                codes[at] = c;
                offsets[at] = p + 1;
            }
            pos = end;
        }
    }

    private int find(char c) {
        int lo = 0;
        int hi = codes.length - 1;
        while (lo <= hi) {
            int mid = (lo + hi) >> 1;
            if (codes[mid] < c) lo = mid + 1;
            else if (codes[mid] > c) hi = mid - 1;
            else return offsets[mid];
        }
        return -1;
    }

    int charWidth(char c) {
        int at = find(c);
        return (at < 0 ? height / 2 : words[at]) + (bold ? 1 : 0);
    }

    boolean has(char c) {
        return find(c) >= 0;
    }

    boolean turns() {
        return true;
    }

    void drawChar(Graphics g, char c, int x, int y) {
        int at = find(c);
        if (at < 0) return;
        int width = words[at];
        TBookMIDlet reader = TBookMIDlet.instance;
        for (int col = 0; col < width && at + 1 + col < words.length; col++) {
            int bits = words[at + 1 + col];
            int row = 0;
            while (bits != 0 && row < height) {
                if ((bits & 1) == 0) {
                    bits >>>= 1;
                    row++;
                    continue;
                }
                int run = row;
                while ((bits & 1) != 0) {
                    bits >>>= 1;
                    row++;
                }
                reader.fill(g, x + col, y + run, bold ? 2 : 1, row - run);
            }
        }
    }
}
