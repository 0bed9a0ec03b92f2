import javax.microedition.lcdui.Canvas;

// Chooses the best screen the phone offers: a MIDP 2.0 full-screen canvas, a
// Nokia full canvas, or the plain MIDP 1.0 canvas with commands. The optional classes are
// loaded by name only after their API was found, so a MIDP 1.0 phone never
// links them.
public class TBookCanvasInit {
    // Whether the canvas made last fills the whole screen: it takes no
    // commands, and the reader draws the soft-key labels itself.
    static boolean full;

    static boolean hasClass(String name) {
        try {
            Class.forName(name);
            return true;
        } catch (Throwable e) {
            return false;
        }
    }

    static Canvas create() {
        String[][] choices = {{"javax.microedition.lcdui.game.GameCanvas", "TBookN2Canvas"},
                              {"com.nokia.mid.ui.FullCanvas", "TBookN1Canvas"}};
        for (int i = 0; i < choices.length; i++) {
            if (hasClass(choices[i][0])) {
                try {
                    Canvas canvas = (Canvas) Class.forName(choices[i][1]).newInstance();
                    full = true;
                    return canvas;
                } catch (Throwable e) {
                    // fall through to the next choice
                }
            }
        }
        full = false;
        return new TBookCanvas();
    }
}
