package paginor.midphost;

import java.awt.image.BufferedImage;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import javax.imageio.ImageIO;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.midlet.MIDlet;
import javax.microedition.rms.RecordStore;

/**
 * midp-host: runs a MIDP 1.0 midlet JAR headless on a desktop Java, presses
 * keys and saves screenshots. The midlet's screen is painted into an image
 * whenever a screenshot is taken.
 */
public final class Main {
    static final String USAGE = String.join("\n",
        "usage: midp-host [--size WxH] [--rms DIR] [--rms-size BYTES] [--midp2] [--nokia] [--strict] [--keys FAMILY] [--touch]",
        "                 JAR [ACTION...]",
        "Runs the midlet of JAR headless and performs the actions in order:",
        "  key:NAME    press a key: up down left right fire soft1 soft2 dial clear 0..9 star",
        "              pound, or a key code in decimal; on a canvas with commands the soft",
        "              keys fire the commands a phone puts there (soft2: Back, Cancel, Exit",
        "              or Stop; soft1: another command); the named keys send the codes",
        "              of the --keys family",
        "  shot:FILE   save the screen as PNG (PPM when FILE ends in .ppm)",
        "  wait:MS     let MS milliseconds pass (splash screens, timers)",
        "  idle        wait until nothing more happens by itself: the screen stops",
        "              changing, queued work is done, a timed alert has gone",
        "  repeat:NAME the key of that name, held down, repeats once",
        "  tap:X:Y     touch the canvas at (X, Y) (--touch), or dismiss an alert",
        "  cmd:LABEL   fire the command of that label on the current screen",
        "  select:N    select element N of the current list or choice group",
        "  highlight:N move the highlight of the current list to element N, as the",
        "              arrow keys do, without selecting it",
        "  choose:I:N  choose element N of the choice group that is form item I",
        "  type:TEXT   type TEXT into the current text box or first text field",
        "  dump        print the current screen as text, with its commands",
        "  heap        print the heap the midlet holds: bytes in use after garbage",
        "              collection, less those in use before the midlet was loaded",
        "Options: --size sets the screen (default 176x208); --rms keeps the record",
        "stores in DIR (default: a temporary folder removed at the end); --rms-size",
        "sets how many bytes a record store holds (default 65536; each record takes",
        "8 more than its data), and a record that does not fit fails as full; --midp2",
        "offers the midlet the MIDP 2.0 parts the host has (full screen, turned",
        "images, platform requests), which a MIDP 1.0 phone lacks; --nokia offers",
        "the Nokia UI API's full canvas (no commands, soft keys as key codes);",
        "--strict behaves like the strictest phones: a canvas paints at once inside",
        "repaint(), on the thread that calls it (a midlet's own thread too, even while",
        "a key is handled), and when shown, screenshots show what it painted last, and a",
        "command change during a paint fails the run. --keys gives the canvas the",
        "key codes, game actions and key names of a phone family: " + javax.microedition.lcdui.Keys.families(),
        "(default nokia; a named key the family lacks cannot be pressed). --touch",
        "gives canvases pointer events.",
        "Exit status: 0 done, 2 bad arguments, 3 the midlet failed, 4 an action",
        "could not be performed.");

    private static final Display.Host host = Display.host;
    private static boolean midp2;
    private static boolean nokia;

    /** Loads the midlet's classes from its JAR; hides the MIDP 2.0 classes
     *  unless --midp2 asks for them, so a probe for them fails as on a
     *  MIDP 1.0 phone. */
    static final class MidletLoader extends URLClassLoader {
        private final java.util.zip.ZipFile zip;

        MidletLoader(URL jar, java.util.zip.ZipFile zip) {
            super(new URL[] {jar}, Main.class.getClassLoader());
            this.zip = zip;
        }

        /** The midlet's resources straight from its open JAR, as a phone
         *  reads them: no URL connection (and its caches) per resource. */
        @Override
        public java.io.InputStream getResourceAsStream(String name) {
            java.util.zip.ZipEntry entry = zip.getEntry(name);
            if (entry == null || entry.isDirectory()) return null;
            try {
                return zip.getInputStream(entry);
            } catch (IOException e) {
                return null;
            }
        }

        @Override
        protected Class<?> loadClass(String name, boolean resolve) throws ClassNotFoundException {
            if (!midp2 && name.startsWith("javax.microedition.lcdui.game.")) throw new ClassNotFoundException(name);
            if (!nokia && name.startsWith("com.nokia.")) throw new ClassNotFoundException(name);
            return super.loadClass(name, resolve);
        }
    }

    public static void main(String[] args) {
        System.setProperty("java.awt.headless", "true");
        int status;
        try {
            status = run(args);
        } catch (UsageError e) {
            System.err.println("midp-host: " + e.getMessage());
            System.err.println(USAGE);
            status = 2;
        } catch (ActionError e) {
            System.err.println("midp-host: " + e.getMessage());
            status = 4;
        } catch (MidletFault e) {
            System.err.println("midp-host: the midlet failed: " + e.getMessage());
            status = 3;
        } catch (Throwable e) {
            System.err.println("midp-host: the midlet failed:");
            e.printStackTrace();
            status = 3;
        }
        System.out.flush();
        Runtime.getRuntime().halt(status); // midlet threads must not keep the host alive
    }

    static final class UsageError extends Exception {
        UsageError(String m) { super(m); }
    }

    static final class ActionError extends Exception {
        ActionError(String m) { super(m); }
    }

    /** The midlet broke a rule of the phones (strict mode). */
    static final class MidletFault extends Exception {
        MidletFault(String m) { super(m); }
    }

    private static int run(String[] args) throws Throwable {
        int i = 0;
        File rms = null;
        while (i < args.length && args[i].startsWith("--")) {
            String opt = args[i++];
            if (opt.equals("--midp2")) {
                midp2 = true;
                continue;
            }
            if (opt.equals("--nokia")) {
                nokia = true;
                continue;
            }
            if (opt.equals("--strict")) {
                host.strict = true;
                continue;
            }
            if (opt.equals("--touch")) {
                host.touch = true;
                continue;
            }
            if (opt.equals("--help")) {
                System.out.println(USAGE);
                return 0;
            }
            if (i >= args.length) throw new UsageError("missing value for " + opt);
            String value = args[i++];
            if (opt.equals("--size")) {
                String[] wh = value.split("x");
                try {
                    host.width = Integer.parseInt(wh[0]);
                    host.height = Integer.parseInt(wh[1]);
                } catch (RuntimeException e) {
                    throw new UsageError("bad size " + value);
                }
                if (host.width < 16 || host.height < 16 || host.width > 2048 || host.height > 2048)
                    throw new UsageError("bad size " + value);
            } else if (opt.equals("--keys")) {
                host.keys = javax.microedition.lcdui.Keys.family(value);
                if (host.keys == null) throw new UsageError("unknown key family " + value);
            } else if (opt.equals("--rms-size")) {
                try {
                    javax.microedition.rms.RecordStore.capacity = Integer.parseInt(value);
                } catch (NumberFormatException e) {
                    throw new UsageError("bad record store size " + value);
                }
            } else if (opt.equals("--rms")) {
                rms = new File(value);
            } else {
                throw new UsageError("unknown option " + opt);
            }
        }
        if (i >= args.length) throw new UsageError("no JAR given");
        File jar = new File(args[i++]);
        if (!jar.isFile()) throw new UsageError("no such file " + jar);

        File temporary = null;
        if (rms == null) {
            temporary = Files.createTempDirectory("midp-host-rms").toFile();
            rms = temporary;
        }
        if (!rms.isDirectory() && !rms.mkdirs()) throw new UsageError("cannot create " + rms);
        RecordStore.folder = rms;
        jarZip = new java.util.zip.ZipFile(jar);
        if (java.util.Arrays.asList(args).contains("heap")) {
            warmUp();
            heapBefore = usedHeap();
        }
        try {
            MIDlet midlet = start(jar);
            for (; i < args.length; i++) perform(args[i]);
            MIDlet.destroy(midlet);
        } finally {
            if (temporary != null) {
                File[] files = temporary.listFiles();
                if (files != null) for (File f : files) f.delete();
                temporary.delete();
            }
        }
        return 0;
    }

    private static MIDlet start(File jar) throws Exception {
        String mainClass;
        try (JarFile jf = new JarFile(jar)) {
            if (jf.getManifest() == null) throw new UsageError("the JAR has no manifest");
            Attributes attrs = jf.getManifest().getMainAttributes();
            for (Object key : attrs.keySet()) MIDlet.properties.put(key.toString(), attrs.getValue(key.toString()));
            String entry = attrs.getValue("MIDlet-1");
            if (entry == null) throw new UsageError("the manifest names no MIDlet-1");
            String[] parts = entry.split(",");
            if (parts.length < 3) throw new UsageError("bad MIDlet-1: " + entry);
            mainClass = parts[2].trim();
        }
        ClassLoader loader = new MidletLoader(jar.toURI().toURL(), jarZip);
        Image.resources = loader;
        MIDlet midlet = (MIDlet) Class.forName(mainClass, true, loader).getDeclaredConstructor().newInstance();
        MIDlet.start(midlet);
        settle();
        return midlet;
    }

    /** Lets queued work run after an event, then paints the screen when the
     *  midlet asked for it, as a phone does between key presses. */
    private static void settle() {
        host.settle();
    }

    private static void perform(String action) throws Exception {
        int colon = action.indexOf(':');
        String verb = colon < 0 ? action : action.substring(0, colon);
        String arg = colon < 0 ? "" : action.substring(colon + 1);
        switch (verb) {
            case "key":
                host.key(keyCode(arg));
                break;
            case "repeat":
                host.repeat(keyCode(arg));
                break;
            case "tap":
                String[] xy = arg.split(":");
                int x, y;
                try {
                    x = Integer.parseInt(xy[0]);
                    y = Integer.parseInt(xy[1]);
                } catch (RuntimeException e) {
                    throw new UsageError("bad tap " + arg);
                }
                if (!host.tap(x, y)) throw new ActionError("cannot tap " + arg + " on " + host.describe());
                break;
            case "shot":
                shot(new File(arg));
                break;
            case "wait":
                long until = System.currentTimeMillis() + Long.parseLong(arg);
                while (System.currentTimeMillis() < until) {
                    settle();
                    Thread.sleep(10);
                }
                break;
            case "idle":
                // Until the midlet has queued no work and asked for no paint
                // for 400 ms (an animation or a long search is over), at most
                // thirty seconds. The quiet time is many frames of a slide,
                // so a busy machine that stalls the midlet for a moment does
                // not end the wait in the middle of one.
                long deadline = System.currentTimeMillis() + 30000;
                long quiet = System.currentTimeMillis();
                int seen = host.repaints;
                while (System.currentTimeMillis() - quiet < 400 && System.currentTimeMillis() < deadline) {
                    Thread.sleep(10);
                    boolean busy = host.busy();
                    settle();
                    if (busy || host.repaints != seen) {
                        seen = host.repaints;
                        quiet = System.currentTimeMillis();
                    }
                }
                break;
            case "cmd":
                if (!host.command(arg)) throw new ActionError("no command \"" + arg + "\" on " + host.describe());
                break;
            case "select":
                if (!host.select(Integer.parseInt(arg)))
                    throw new ActionError("no element " + arg + " to select on " + host.describe());
                break;
            case "highlight":
                if (!host.highlight(Integer.parseInt(arg)))
                    throw new ActionError("cannot highlight " + arg + " on " + host.describe());
                break;
            case "choose":
                String[] in = arg.split(":");
                if (in.length != 2 || !host.choose(Integer.parseInt(in[0]), Integer.parseInt(in[1])))
                    throw new ActionError("cannot choose " + arg + " on " + host.describe());
                break;
            case "type":
                if (!host.type(arg)) throw new ActionError("nowhere to type on " + host.describe());
                break;
            case "dump":
                System.out.println("screen: " + host.describe());
                break;
            case "heap":
                System.out.println("heap: " + (usedHeap() - heapBefore));
                break;
            default:
                throw new UsageError("unknown action " + action);
        }
        settle();
        if (host.violation != null) throw new MidletFault("strict mode: " + host.violation);
        if (MIDlet.destroyed) System.out.println("midlet: destroyed");
    }

    static int keyCode(String name) throws UsageError, ActionError {
        int code = host.keys.named(name);
        if (code == 0) throw new ActionError("this phone has no key " + name);
        if (code != Integer.MIN_VALUE) return code;
        switch (name) {
            case "dial": return -10;
            case "star": return '*';
            case "pound": return '#';
            default:
                if (name.length() == 1 && Character.isDigit(name.charAt(0))) return name.charAt(0);
                try {
                    return Integer.parseInt(name);
                } catch (NumberFormatException e) {
                    throw new UsageError("unknown key " + name);
                }
        }
    }

    private static long heapBefore;
    private static java.util.zip.ZipFile jarZip;

    /** Heap in use after a full collection. */
    static long usedHeap() throws InterruptedException {
        Runtime r = Runtime.getRuntime();
        long used = Long.MAX_VALUE;
        for (int k = 0; k < 4; k++) {
            System.gc();
            Thread.sleep(20);
            used = Math.min(used, r.totalMemory() - r.freeMemory());
        }
        return used;
    }

    /** Lets the host allocate what it keeps for itself (its drawing and font
     *  machinery) before the heap is measured, so that the midlet's share is
     *  not charged with it. */
    private static void warmUp() {
        int[] faces = {Font.FACE_SYSTEM, Font.FACE_PROPORTIONAL, Font.FACE_MONOSPACE};
        int[] sizes = {Font.SIZE_SMALL, Font.SIZE_MEDIUM, Font.SIZE_LARGE};
        Graphics g = Image.createImage(64, 32).getGraphics();
        for (int face : faces)
            for (int size : sizes)
                for (int style = 0; style < 2; style++) {
                    g.setFont(Font.getFont(face, style, size));
                    g.drawString("Warm up 0123", 0, 0, Graphics.TOP | Graphics.LEFT);
                }
        host.render(new BufferedImage(host.width, host.height, BufferedImage.TYPE_INT_RGB));
        // Each kind of screen once, drawn and described: a form with every
        // kind of item, a list and an alert.
        javax.microedition.lcdui.Form form = new javax.microedition.lcdui.Form("Warm up");
        form.append(new javax.microedition.lcdui.Gauge("Warm up", false, 100, 50));
        form.append(new javax.microedition.lcdui.StringItem("Warm up", "0123"));
        form.append(new javax.microedition.lcdui.TextField("Warm up", "0123", 8, 0));
        form.append(new javax.microedition.lcdui.ChoiceGroup("Warm up", 2, new String[] {"a", "b"}, null));
        javax.microedition.lcdui.Display display = Display.getDisplay(null);
        javax.microedition.lcdui.Displayable[] screens = {form,
            new javax.microedition.lcdui.List("Warm up", 3, new String[] {"a", "b"}, null),
            new javax.microedition.lcdui.Alert("Warm up", "0123", null, null)};
        for (javax.microedition.lcdui.Displayable screen : screens) {
            display.setCurrent(screen);
            host.render(new BufferedImage(host.width, host.height, BufferedImage.TYPE_INT_RGB));
            host.describe();
        }
        display.setCurrent((javax.microedition.lcdui.Displayable) null);
        // The desktop's character tables load on first use.
        for (int c = 0; c < 0x10000; c += 3) {
            Character.toLowerCase((char) c);
            Character.toUpperCase((char) c);
        }
    }

    private static void shot(File file) throws IOException {
        BufferedImage frame = new BufferedImage(host.width, host.height, BufferedImage.TYPE_INT_RGB);
        host.render(frame);
        File parent = file.getAbsoluteFile().getParentFile();
        if (parent != null) parent.mkdirs();
        if (file.getName().endsWith(".ppm")) {
            try (OutputStream out = new FileOutputStream(file)) {
                out.write(("P6\n" + host.width + " " + host.height + "\n255\n").getBytes("US-ASCII"));
                byte[] row = new byte[host.width * 3];
                for (int y = 0; y < host.height; y++) {
                    for (int x = 0; x < host.width; x++) {
                        int rgb = frame.getRGB(x, y);
                        row[3 * x] = (byte) (rgb >> 16);
                        row[3 * x + 1] = (byte) (rgb >> 8);
                        row[3 * x + 2] = (byte) rgb;
                    }
                    out.write(row);
                }
            }
        } else if (!ImageIO.write(frame, "png", file)) {
            throw new IOException("cannot write " + file);
        }
    }
}
