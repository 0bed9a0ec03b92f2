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
        /** Strict mode: behave like the strictest phones. A canvas paints at
         *  once inside repaint() and when it is shown, a screenshot shows
         *  what it painted last (not a fresh paint), and changing commands
         *  while a paint is under way is refused. repaint() paints on the
         *  thread that calls it, whichever that is: a midlet's own thread
         *  paints while the host's thread may be inside a key event, as on
         *  the phones that paint inside repaint(). */
        public boolean strict;
        /** The phone family whose keys the host has (--keys): its key codes,
         *  game actions and key names. */
        public Keys keys = Keys.family("nokia");
        /** Touch screen (--touch): canvases get pointer events. */
        public boolean touch;
        /** Counts repaint requests and paints (the idle action watches it). */
        public volatile int repaints;
        /** The first rule the midlet broke, reported after the action. */
        public volatile String violation;
        /** The callSerially queue; it has its own lock, so that a paint on a
         *  midlet's thread may queue work while an event holds the host. */
        final ArrayDeque<Runnable> serial = new ArrayDeque<>();
        /** Paints are one at a time, on whichever thread asks. */
        private final Object paintLock = new Object();
        long alertUntil;
        Displayable afterAlert;
        private java.awt.image.BufferedImage screen; // strict: the canvas as last painted
        boolean painting;

        synchronized void serviceRepaints(Canvas c) {
            // Painting happens when the host renders a frame, or at once in
            // strict mode; nothing is queued.
        }

        /** A canvas asks to be painted: at once in strict mode (unless a
         *  paint is under way, or the canvas is not shown), later otherwise. */
        void repaint(Canvas c) {
            repaints++;
            if (!strict) {
                repaintRequested = true;
                return;
            }
            if (current != c) return;
            synchronized (paintLock) {
                if (painting) repaintRequested = true;
                else paintNow(c);
            }
        }

        /** Strict mode: paints the canvas into the screen at once. */
        private void paintNow(Canvas c) {
            synchronized (paintLock) {
                paintLocked(c);
            }
        }

        private void paintLocked(Canvas c) {
            if (screen == null || screen.getWidth() != width || screen.getHeight() != height)
                screen = new java.awt.image.BufferedImage(width, height, java.awt.image.BufferedImage.TYPE_INT_RGB);
            java.awt.Graphics2D g = screen.createGraphics();
            g.setColor(java.awt.Color.WHITE);
            g.fillRect(0, 0, width, height);
            repaintRequested = false;
            repaints++;
            painting = true;
            try {
                c.render(g, width, height);
            } finally {
                painting = false;
                g.dispose();
            }
        }

        /** Records a broken rule; strict mode also refuses the call. */
        void breach(String rule) {
            if (violation == null) violation = rule;
            throw new IllegalStateException(rule);
        }

        /** A command change: refused in strict mode while a paint is under way. */
        void commandsChanged(Displayable d) {
            if (strict && painting) breach("command change during paint on " + d.getClass().getSimpleName());
        }

        /** Whether something will happen by itself: work queued for the
         *  event thread, or an alert that ends after its time. */
        public synchronized boolean busy() {
            synchronized (serial) {
                if (!serial.isEmpty()) return true;
            }
            return afterAlert != null && alertUntil >= 0;
        }

        /** Runs the callSerially calls queued so far (calls they queue wait
         *  for the next round, as events do on a phone) and ends an alert
         *  whose time is up. */
        public synchronized void runPending() {
            Runnable[] due;
            synchronized (serial) {
                due = serial.toArray(new Runnable[0]);
                serial.clear();
            }
            for (Runnable r : due) r.run();
            if (afterAlert != null && alertUntil >= 0 && System.currentTimeMillis() >= alertUntil) {
                Displayable next = afterAlert;
                afterAlert = null;
                show(next);
            }
        }

        /** Settles the screen after an event: a requested paint is done. */
        public synchronized void settle() {
            runPending();
            if (!repaintRequested) return;
            if (strict && current instanceof Canvas) paintNow((Canvas) current);
            else if (!strict) render(new java.awt.image.BufferedImage(width, height, java.awt.image.BufferedImage.TYPE_INT_RGB));
            else repaintRequested = false;
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
            if (strict && d instanceof Canvas && !painting) paintNow((Canvas) d);
        }

        /** Presses a key on the current screen. On a canvas with commands the
         *  soft keys are the phone's: they fire the command placed on them. */
        public synchronized void key(int keyCode) {
            if (dismissAlert()) return;
            if (!(current instanceof Canvas)) return;
            Canvas c = (Canvas) current;
            int soft = keys.soft(keyCode);
            if (soft != 0 && !c.commands.isEmpty()) {
                Command command = c.softCommand(soft < 0);
                if (command != null && c.listener != null) c.listener.commandAction(command, c);
                return;
            }
            c.keyPressed0(keyCode);
        }

        /** A held key repeats on the current canvas (a command's soft key does not). */
        public synchronized void repeat(int keyCode) {
            if (!(current instanceof Canvas)) return;
            Canvas c = (Canvas) current;
            if (keys.soft(keyCode) == 0 || c.commands.isEmpty()) c.keyRepeated(keyCode);
        }

        /** Taps the current canvas at (x, y): pressed and released there. */
        public synchronized boolean tap(int x, int y) {
            if (dismissAlert()) return true;
            if (!(current instanceof Canvas) || !touch) return false;
            Canvas c = (Canvas) current;
            c.pointerPressed(x, y);
            c.pointerReleased(x, y);
            return true;
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
                if (i < 0 || i >= ((List) d).size()) return false;
                ((List) d).setSelectedIndex(i, true);
                if (((List) d).model.type == Choice.IMPLICIT && d.listener != null)
                    d.listener.commandAction(List.SELECT_COMMAND, d);
                return true;
            }
            if (d instanceof Form)
                for (Item item : ((Form) d).items)
                    if (item instanceof ChoiceGroup) {
                        if (i < 0 || i >= ((ChoiceGroup) item).size()) return false;
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

        /** Draws the current screen into the frame; in strict mode a canvas
         *  shows what it painted last. */
        public synchronized void render(java.awt.image.BufferedImage frame) {
            java.awt.Graphics2D g = frame.createGraphics();
            g.setColor(java.awt.Color.WHITE);
            g.fillRect(0, 0, width, height);
            if (strict && current instanceof Canvas) {
                synchronized (paintLock) {
                    if (screen == null) paintLocked((Canvas) current);
                    g.drawImage(screen, 0, 0, null);
                }
            } else if (current != null) {
                painting = current instanceof Canvas;
                try {
                    current.render(g, width, height);
                } finally {
                    painting = false;
                }
            }
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
        if (next instanceof Alert) throw new IllegalArgumentException("an alert cannot follow an alert");
        synchronized (host) {
            host.show(alert);
            host.afterAlert = next;
            host.alertUntil = alert.timeout == Alert.FOREVER ? -1 : System.currentTimeMillis() + alert.timeout;
        }
    }

    public void callSerially(Runnable r) {
        synchronized (host.serial) {
            host.serial.add(r);
        }
    }
}
