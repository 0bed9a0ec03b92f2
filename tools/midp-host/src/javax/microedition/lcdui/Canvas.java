package javax.microedition.lcdui;

/** Host implementation of the MIDP 1.0 canvas. */
public abstract class Canvas extends Displayable {
    public static final int UP = 1;
    public static final int DOWN = 6;
    public static final int LEFT = 2;
    public static final int RIGHT = 5;
    public static final int FIRE = 8;
    public static final int GAME_A = 9;
    public static final int GAME_B = 10;
    public static final int GAME_C = 11;
    public static final int GAME_D = 12;
    public static final int KEY_NUM0 = 48;
    public static final int KEY_NUM1 = 49;
    public static final int KEY_NUM2 = 50;
    public static final int KEY_NUM3 = 51;
    public static final int KEY_NUM4 = 52;
    public static final int KEY_NUM5 = 53;
    public static final int KEY_NUM6 = 54;
    public static final int KEY_NUM7 = 55;
    public static final int KEY_NUM8 = 56;
    public static final int KEY_NUM9 = 57;
    public static final int KEY_STAR = 42;
    public static final int KEY_POUND = 35;

    protected Canvas() {}

    public int getWidth() {
        return Display.host.width;
    }

    public int getHeight() {
        return Display.host.height;
    }

    public boolean isDoubleBuffered() {
        return true;
    }

    public boolean hasPointerEvents() {
        return Display.host.touch;
    }

    public boolean hasPointerMotionEvents() {
        return false;
    }

    public boolean hasRepeatEvents() {
        return true;
    }

    public int getKeyCode(int gameAction) {
        return Display.host.keys.code(gameAction);
    }

    public String getKeyName(int keyCode) {
        return Display.host.keys.name(keyCode);
    }

    public int getGameAction(int keyCode) {
        return Display.host.keys.action(keyCode);
    }

    protected void keyPressed(int keyCode) {}

    protected void keyRepeated(int keyCode) {}

    protected void keyReleased(int keyCode) {}

    protected void pointerPressed(int x, int y) {}

    protected void pointerReleased(int x, int y) {}

    protected void pointerDragged(int x, int y) {}

    public final void repaint(int x, int y, int width, int height) {
        Display.host.repaint(this);
    }

    public final void repaint() {
        Display.host.repaint(this);
    }

    public final void serviceRepaints() {
        Display.host.serviceRepaints(this);
    }

    protected void showNotify() {}

    protected void hideNotify() {}

    protected abstract void paint(Graphics g);

    /** MIDP 2.0: the host is always full screen. */
    public void setFullScreenMode(boolean mode) {}

    void render(java.awt.Graphics2D g2, int width, int height) {
        Graphics g = new Graphics(g2, width, height);
        paint(g);
    }

    String describe() {
        StringBuilder b = new StringBuilder("Canvas");
        for (Command c : commands) b.append("\n  [").append(c.getLabel()).append("]");
        return b.toString();
    }

    /** The command a phone puts on a soft key: the right one takes the most
     *  important command that leaves or cancels (Back, Cancel, Exit, Stop),
     *  the left one the most important other command; a side without such a
     *  command takes the second command of the other kind. */
    Command softCommand(boolean left) {
        java.util.List<Command> leaving = new java.util.ArrayList<>(), other = new java.util.ArrayList<>();
        for (Command c : commands) {
            int t = c.getCommandType();
            (t == Command.BACK || t == Command.CANCEL || t == Command.EXIT || t == Command.STOP ? leaving : other).add(c);
        }
        java.util.Comparator<Command> byPriority = java.util.Comparator.comparingInt(Command::getPriority);
        leaving.sort(byPriority);
        other.sort(byPriority);
        java.util.List<Command> mine = left ? other : leaving, theirs = left ? leaving : other;
        if (!mine.isEmpty()) return mine.get(0);
        return theirs.size() > 1 ? theirs.get(1) : null;
    }

    void keyPressed0(int keyCode) {
        keyPressed(keyCode);
    }
}
