package javax.microedition.lcdui;

/** The keys of a phone family as a canvas sees them: the codes of the
 *  direction keys, select, the two soft keys and clear, the game action of
 *  each code and the name getKeyName gives it. Families differ: Siemens
 *  sends -1 and -4 for its soft keys (UP and RIGHT elsewhere), Motorola -6
 *  for DOWN and -21/-22 (older models 21/22) for its soft keys. */
public final class Keys {
    // up, down, left, right, fire, left soft, right soft, clear (0: none)
    private final int[] codes;
    private final String[] names;
    private static final String[] FAMILIES = {"nokia", "siemens", "motorola", "motorola-old", "lg", "se"};
    private static final int[][] CODES = {
        {-1, -2, -3, -4, -5, -6, -7, -8},
        {-59, -60, -61, -62, -26, -1, -4, 0},
        {-1, -6, -2, -5, -20, -21, -22, 0},
        {-1, -2, -3, -4, -5, 21, 22, 0},
        {-1, -2, -3, -4, -5, -202, -203, -204},
        {-1, -2, -3, -4, -5, -6, -7, -11},
    };
    private static final String[][] NAMES = {
        {"Up", "Down", "Left", "Right", "Select", "Left soft key", "Right soft key", "Clear"},
        {"UP", "DOWN", "LEFT", "RIGHT", "SELECT", "SOFT1", "SOFT4", ""},
        {"Up", "Down", "Left", "Right", "Select", "SOFT1", "SOFT2", ""},
        {"Up", "Down", "Left", "Right", "Select", "Soft1", "Soft2", ""},
        {"UP", "DOWN", "LEFT", "RIGHT", "OK", "", "", ""},
        {"Up", "Down", "Left", "Right", "Select", "Left Soft", "Right Soft", "Back"},
    };
    private static final int[] ACTIONS = {Canvas.UP, Canvas.DOWN, Canvas.LEFT, Canvas.RIGHT, Canvas.FIRE};
    private static final String KEY_NAMES = "up down left right fire soft1 soft2 clear";

    private Keys(int[] codes, String[] names) {
        this.codes = codes;
        this.names = names;
    }

    /** The keys of the family, or null for a family the host does not know. */
    public static Keys family(String name) {
        for (int i = 0; i < FAMILIES.length; i++)
            if (FAMILIES[i].equals(name)) return new Keys(CODES[i], NAMES[i]);
        return null;
    }

    public static String families() {
        return String.join(" ", FAMILIES);
    }

    /** The code of a named key (up .. clear), Integer.MIN_VALUE for another
     *  name, 0 when this family lacks the key. */
    public int named(String key) {
        int i = java.util.Arrays.asList(KEY_NAMES.split(" ")).indexOf(key);
        return i < 0 ? Integer.MIN_VALUE : codes[i];
    }

    /** -1 for the left soft key, 1 for the right one, 0 for another key. */
    int soft(int keyCode) {
        return keyCode == codes[5] ? -1 : keyCode == codes[6] ? 1 : 0;
    }

    int code(int gameAction) {
        for (int i = 0; i < ACTIONS.length; i++)
            if (ACTIONS[i] == gameAction) return codes[i];
        throw new IllegalArgumentException("game action " + gameAction);
    }

    // The number keys 2, 4, 5, 6, 8 as many phones map them, 7, 9, * and #
    // as game keys A to D; the special keys have none. Any other code is no
    // key of this phone.
    int action(int keyCode) {
        for (int i = 0; i < codes.length; i++)
            if (codes[i] == keyCode && keyCode != 0) return i < ACTIONS.length ? ACTIONS[i] : 0;
        switch (keyCode) {
            case Canvas.KEY_NUM2: return Canvas.UP;
            case Canvas.KEY_NUM8: return Canvas.DOWN;
            case Canvas.KEY_NUM4: return Canvas.LEFT;
            case Canvas.KEY_NUM6: return Canvas.RIGHT;
            case Canvas.KEY_NUM5: return Canvas.FIRE;
            case Canvas.KEY_NUM7: return Canvas.GAME_A;
            case Canvas.KEY_NUM9: return Canvas.GAME_B;
            case Canvas.KEY_STAR: return Canvas.GAME_C;
            case Canvas.KEY_POUND: return Canvas.GAME_D;
            case Canvas.KEY_NUM0: case Canvas.KEY_NUM1: case Canvas.KEY_NUM3: case -8: case -10: case -11: case -16:
                return 0;
            default: throw new IllegalArgumentException("key code " + keyCode);
        }
    }

    String name(int keyCode) {
        for (int i = 0; i < codes.length; i++)
            if (codes[i] == keyCode && keyCode != 0 && names[i].length() > 0) return names[i];
        if (keyCode > 0) return String.valueOf((char) keyCode);
        return String.valueOf(keyCode);
    }
}
