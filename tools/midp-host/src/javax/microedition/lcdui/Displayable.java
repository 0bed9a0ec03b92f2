package javax.microedition.lcdui;

import java.util.Vector;

/** Host implementation: a screen with its commands. */
public abstract class Displayable {
    final Vector<Command> commands = new Vector<>();
    CommandListener listener;
    boolean shown;

    Displayable() {}

    public boolean isShown() {
        return shown;
    }

    public void addCommand(Command cmd) {
        Display.host.commandsChanged(this);
        if (!commands.contains(cmd)) commands.addElement(cmd);
    }

    public void removeCommand(Command cmd) {
        Display.host.commandsChanged(this);
        commands.removeElement(cmd);
    }

    public void setCommandListener(CommandListener l) {
        Display.host.commandsChanged(this);
        listener = l;
    }

    /** Draws the screen into the host's frame. */
    abstract void render(java.awt.Graphics2D g, int width, int height);

    /** Text description for the host's dump action. */
    abstract String describe();

    void keyPressed(int keyCode) {}

    Command findCommand(String label) {
        for (Command c : commands)
            if (c.getLabel().equals(label)) return c;
        return null;
    }
}
