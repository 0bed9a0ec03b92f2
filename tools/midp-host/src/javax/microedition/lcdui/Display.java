package javax.microedition.lcdui;

import java.util.ArrayDeque;
import javax.microedition.midlet.MIDlet;

/** Host implementation: one display, driven by the host's action loop. */
public class Display {
    /** The host's screen: size, current screen and pending events. */
    public static final class Host {
        public int width = 176;
        public int height = 208;
        public Displayable current;
        public volatile boolean repaintRequested;
        final ArrayDeque<Runnable> serial = new ArrayDeque<>();
        long alertUntil;
        Displayable afterAlert;

        synchronized void serviceRepaints(Canvas c) {
            // Painting happens when the host renders a frame; nothing is queued.
        }

        /** Runs the callSerially queue and ends an alert whose time is up. */
        public synchronized void runPending() {
            while (!serial.isEmpty()) serial.poll().run();
            if (afterAlert != null && alertUntil >= 0 && System.currentTimeMillis() >= alertUntil) {
                Displayable next = afterAlert;
                afterAlert = null;
                show(next);
            }
        }

        /** Dismisses a shown alert (the user pressed a key on it). */
        public synchronized boolean dismissAlert() {
            if (afterAlert == null) return false;
            Displayable next = afterAlert;
            afterAlert = null;
            show(next);
            return true;
        }

        synchronized void show(Displayable d) {
            if (d == current) return;
            if (current != null) {
                current.shown = false;
                if (current instanceof Canvas) ((Canvas) current).hideNotify();
            }
            current = d;
            if (d != null) {
                d.shown = true;
                if (d instanceof Canvas) ((Canvas) d).showNotify();
            }
            repaintRequested = true;
        }

        /** Presses a key on the current screen. */
        public synchronized void key(int keyCode) {
            if (dismissAlert()) return;
            if (current instanceof Canvas) ((Canvas) current).keyPressed0(keyCode);
        }

        /** Fires the command with the given label on the current screen. */
        public synchronized boolean command(String label) {
            Displayable d = current;
            if (d == null) return false;
            Command c = d.findCommand(label);
            if (c == null && d instanceof List && label.equals("select")) c = List.SELECT_COMMAND;
            if (c == null || d.listener == null) return false;
            d.listener.commandAction(c, d);
            return true;
        }

        /** Selects element i of the current list or of the first choice group. */
        public synchronized boolean select(int i) {
            Displayable d = current;
            if (d instanceof List) {
                ((List) d).setSelectedIndex(i, true);
                if (((List) d).model.type == Choice.IMPLICIT && d.listener != null)
                    d.listener.commandAction(List.SELECT_COMMAND, d);
                return true;
            }
            if (d instanceof Form)
                for (Item item : ((Form) d).items)
                    if (item instanceof ChoiceGroup) {
                        ((ChoiceGroup) item).setSelectedIndex(i, true);
                        if (((Form) d).itemListener != null) ((Form) d).itemListener.itemStateChanged(item);
                        return true;
                    }
            return false;
        }

        /** Moves the highlight of the current list to element i (an implicit
         *  or exclusive list selects what is highlighted) without firing a
         *  command. */
        public synchronized boolean highlight(int i) {
            if (!(current instanceof List) || i < 0 || i >= ((List) current).size()) return false;
            List list = (List) current;
            if (list.model.type != Choice.MULTIPLE) list.setSelectedIndex(i, true);
            return true;
        }

        /** Chooses element n of the choice group that is item i of the current
         *  form; in a multiple choice group this turns the element over. */
        public synchronized boolean choose(int i, int n) {
            if (!(current instanceof Form) || i < 0 || i >= ((Form) current).items.size()) return false;
            Item item = ((Form) current).items.get(i);
            if (!(item instanceof ChoiceGroup)) return false;
            ChoiceGroup group = (ChoiceGroup) item;
            if (n < 0 || n >= group.size()) return false;
            group.setSelectedIndex(n, group.model.type != Choice.MULTIPLE || !group.isSelected(n));
            if (((Form) current).itemListener != null) ((Form) current).itemListener.itemStateChanged(item);
            return true;
        }

        /** Types text into the current text box or the first text field. */
        public synchronized boolean type(String text) {
            Displayable d = current;
            if (d instanceof TextBox) {
                ((TextBox) d).setString(text);
                return true;
            }
            if (d instanceof Form)
                for (Item item : ((Form) d).items)
                    if (item instanceof TextField) {
                        ((TextField) item).setString(text);
                        if (((Form) d).itemListener != null) ((Form) d).itemListener.itemStateChanged(item);
                        return true;
                    }
            return false;
        }

        public synchronized String describe() {
            return current == null ? "none" : current.describe();
        }

        /** Draws the current screen into the frame. */
        public synchronized void render(java.awt.image.BufferedImage frame) {
            java.awt.Graphics2D g = frame.createGraphics();
            g.setColor(java.awt.Color.WHITE);
            g.fillRect(0, 0, width, height);
            if (current != null) current.render(g, width, height);
            g.dispose();
            repaintRequested = false;
        }
    }

    public static final Host host = new Host();
    private static Display display;

    Display() {}

    public static Display getDisplay(MIDlet m) {
        if (display == null) display = new Display();
        return display;
    }

    public boolean isColor() {
        return true;
    }

    public int numColors() {
        return 1 << 16;
    }

    public Displayable getCurrent() {
        return host.current;
    }

    public void setCurrent(Displayable next) {
        if (next instanceof Alert) {
            setCurrent((Alert) next, host.current);
            return;
        }
        synchronized (host) {
            host.afterAlert = null;
            host.show(next);
        }
    }

    public void setCurrent(Alert alert, Displayable next) {
        synchronized (host) {
            host.show(alert);
            host.afterAlert = next;
            host.alertUntil = alert.timeout == Alert.FOREVER ? -1 : System.currentTimeMillis() + alert.timeout;
        }
    }

    public void callSerially(Runnable r) {
        synchronized (host) {
            host.serial.add(r);
        }
    }
}
