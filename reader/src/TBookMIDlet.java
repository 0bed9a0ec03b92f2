import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.InputStream;
import java.io.IOException;
import java.util.Calendar;
import java.util.Date;
import java.util.Hashtable;
import java.util.Vector;
import javax.microedition.lcdui.Alert;
import javax.microedition.lcdui.AlertType;
import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.ChoiceGroup;
import javax.microedition.lcdui.Choice;
import javax.microedition.lcdui.Command;
import javax.microedition.lcdui.CommandListener;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Displayable;
import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Form;
import javax.microedition.lcdui.Gauge;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.List;
import javax.microedition.lcdui.StringItem;
import javax.microedition.lcdui.TextBox;
import javax.microedition.lcdui.TextField;
import javax.microedition.midlet.MIDlet;
import javax.microedition.rms.RecordStore;

// The reader: reads cfg.dat and the book text files of its own archive and
// shows the book page by page, with its links, pictures, fonts, colour
// schemes, layouts, menus and bookmarks.
public class TBookMIDlet extends MIDlet implements CommandListener, Runnable {
    static TBookMIDlet instance;

    // Interface texts used when cfg.dat does not carry them: line feed,
    // index, tab, text.
    private static final String DEFAULT_TEXTS = "\n0\t1: Navigator\n1\t2: Add bookmark\n2\t3: Open bookmark\n3\t4: Find"
        + "\n4\t5: Display\n5\t6: Backlight\n6\t7: Autoscroll\n7\t8: Date and time\n8\tBook details\n9\tHelp"
        + "\n10\tAbout\n11\tExit\n12\tBack\n20\tLectoria 5.0.8"
        + "\n21\torvantis.example\n50\tMenu\n51\tShow image\n52\tGo to link\n53\tMake a call\n54\tSend SMS\n55\tGo to"
        + "\n100\tBackLight setup\n101\tBackLight\n102\tAlways off\n103\tAlways on\n104\t10 sec\n105\t20 sec"
        + "\n106\t30 sec\n107\t40 sec\n108\tBrightness (1-100%)\n109\tBacklight control works on Nokia phones only"
        + "\n200\tDisplay setup\n201\tRotate\n202\tWord wrap"
        + "\n203\tLine spacing\n204\t-1\n205\t0\n206\t+1\n207\tChar spacing\n208\t-1\n209\t0\n210\t+1"
        + "\n211\tFont type 0..\n212\tColor map\n213\tSmooth scroll\n300\tNavigator\n302\tContents\n303\tFirst page"
        + "\n304\tLast page\n305\tPosition (%)\n400\tAutoscrolling\n401\tAutoscrolling\n402\tDelay"
        + "\n500\tSearch\n501\tFind Text\n502\tSearch options\n503\tFrom start of book\n504\tMatch case"
        + "\n505\tSearching for\n506\tCancelled\n507\tNot Found\n600\tBookmarks\n601\tSaved bookmarks"
        + "\n602\tBookmark\n603\tBookmark saved\n604\tDelete\n605\tBookmark not saved: no room for it\n700\tHelp form\n702\tMenu\n703\t1:\n704\tNavigator"
        + "\n705\t2:\n706\tSave bookmark\n707\t3:\n708\tBookmarks\n709\t4:\n710\tSearch\n711\t5:"
        + "\n712\tDisplay\n713\t6:\n714\tBacklight\n715\t7:\n716\tAutoscrolling\n717\t8:\n718\tDate and time"
        + "\n719\t9:\n720\tSearch next\n721\t0:"
        + "\n722\tFont\n724\tNext page\n726\tPrevious page"
        + "\n727\t*, Dial, Left softkey:\n728\t*, Dial:\n729\tSelect:\n730\tFollow the active link, or Menu"
        + "\n731\tRight softkey:\n732\tFollow the active link, or Back\n733\tSoft keys:"
        + "\n734\tMenu, follow the active link, Back\n735\tClear:\n736\tBack to where the last jump started"
        + "\n737\t#, Down:\n738\tUp:\n739\tRight, Left:\n740\tNext, previous link or page"
        + "\n800\tInformation\n801\tBook details: \n802\tBook statistics: \n803\tSize\n804\tbyte(s), read"
        + "\n805\t%, total reading time\n806\t, book was opened\n807\ttimes\n808\tBook maker:"
        + "\n809\tMax paint time\n810\tms, max letters in screen \n811\t, perfomance\n812\tletters/sec"
        + "\n814\tPaginor 5.0.8\n815\tPerformance: "
        + "\n900\tAbout\n901\tVersion\n902\tAuthor\n903\torvantis\n904\tWWW\n905\torvantis.example\n906\t5.0.8"
        + "\n1000\tDate and time\n1001\tDate\n1002\tTime\n1003\tTotal reading time: \n1004\tBook was opened: "
        + "\n1005\ttimes\n1100\tCancel\n1101\tApply\n1102\tGoTo\n1104\tOk\n1105\tMenu"
        + "\n1107\tExit\n1108\tBack\n1200\tFatal error\n1300\tPassword protection\n1301\tPassword"
        + "\n1303\tWrong password\n";
    // Messages for link kinds the phone cannot open; cfg.dat has no texts for them.
    private static final String NO_SERVICE = "This phone cannot open this link: ";
    private static final String NO_TARGET = "The link leads nowhere: ";

    private static final int READ = 0;
    private static final int SPLASH = 1;
    private static final int PICTURE = 2;
    private static final int KEY_SOFT1 = -6;
    private static final int KEY_SOFT2 = -7;
    private static final int KEY_CLEAR = -8;
    private static final int KEY_DIAL = -10;
    // Messages that go away by themselves stay this long (milliseconds).
    private static final int BRIEF = 2000;

    private Display display;
    private Canvas canvas;
    private boolean midp2;
    private Command okCommand;
    private Command cancelCommand;
    private Command exitCommand;
    private Command menuCommand;
    private Command goToCommand;
    private Command deleteCommand;
    // The soft-key commands that follow the active link, one per text 51 to
    // 55 (named after what following does), each made on first need; the one
    // on the canvas now, null when no link is active. Back is on the canvas
    // while there is a jump to go back from.
    private final Command[] linkCommands = new Command[5];
    private Command linkCommand;
    private Command backCommand;
    private boolean backOffered;
    // A full-screen canvas (MIDP 2.0, Nokia) takes no commands: its soft keys
    // arrive as keys, and the reader draws their labels at the bottom.
    private boolean fullScreen;
    private Font barFont;
    private int barHeight;
    private List menu;
    private boolean menuBack; // the menu on screen offers Back before Exit
    private Form passwordForm;
    private Form displayForm;
    private List navigator;
    private List bookmarkList;

    // From cfg.dat.
    private int textLength;
    private int lineSpacing;
    private int charSpacing;
    private boolean wordWrap;
    private boolean portrait;
    private int[] schemes; // back, font and link colour of each scheme
    private int textMargin;
    private int imageMargin;
    private int splashTimeout;
    private int fontCount;
    private int tocPosition;
    private int firstLinkId;
    private int lastLinkId;
    // The link table, kept small for books with thousands of notes: a jump
    // link is its text position (0 or more); any other link is -1 - k, where
    // linkTargets[k] is its cfg.dat string (kind letter and target).
    private int[] links;
    private String[] linkTargets;
    private int passwordMode;
    private String checkString;
    private int checkValue;
    private final Hashtable texts = new Hashtable();

    // Low 16 bits of the book password: the mask of the text files.
    private int mask;

    // The two most recently read text files (4096 code units each).
    private static final int PIECE_BITS = 12;
    private static final int PIECE_SIZE = 1 << PIECE_BITS;
    private final char[][] pieces = new char[2][];
    private final int[] pieceIndex = {-1, -1};
    private int pieceNext;

    // Display state.
    private int mode;
    private int scheme;
    private int fontType;
    private TFont font;
    private final Hashtable fonts = new Hashtable();
    private final Hashtable pictures = new Hashtable();
    private TImage shownPicture;
    private TImage splash;
    private TImage background;
    private TImage pointerPortrait;
    private TImage pointerLandscape;
    private int screenWidth;
    private int screenHeight;
    private int top;      // first character of the page on screen
    private int next;     // first character of the following page
    private boolean laidOut;
    private int[] lineStart = new int[40];
    private int[] lineTop = new int[40];
    private int lineCount;
    private int[] pageLinks = new int[40]; // positions of the links on the page
    private int pageLinkCount;
    private int activeLink = -1;

    public TBookMIDlet() {
        instance = this;
    }

    protected void startApp() {
        sessionStart = System.currentTimeMillis();
        if (display != null) return;
        display = Display.getDisplay(this);
        try {
            readSettings();
            midp2 = TBookCanvasInit.hasClass("javax.microedition.lcdui.game.GameCanvas");
            nokiaLights = TBookCanvasInit.hasClass("com.nokia.mid.ui.DeviceControl");
            okCommand = new Command(text(1104), Command.OK, 1);
            cancelCommand = new Command(text(1100), Command.BACK, 2);
            exitCommand = new Command(text(1107), Command.EXIT, 3);
            menuCommand = new Command(text(1105), Command.SCREEN, 1);
            goToCommand = new Command(text(1102), Command.OK, 1);
            deleteCommand = new Command(text(604), Command.SCREEN, 2);
            backCommand = new Command(text(1108), Command.BACK, 1);
            canvas = TBookCanvasInit.create();
            fullScreen = TBookCanvasInit.full;
            if (fullScreen) {
                barFont = Font.getFont(Font.FACE_SYSTEM, Font.STYLE_PLAIN, Font.SIZE_SMALL);
                barHeight = barFont.getHeight() + 2;
            } else {
                canvas.addCommand(menuCommand);
                canvas.setCommandListener(this);
            }
            loadState();
            selectFont(fontType);
            splash = TImage.load("splash.png");
            background = TImage.load("background.png");
            pointerPortrait = TImage.load("linkp.png");
            pointerLandscape = TImage.load("linkl.png");
            mode = SPLASH;
            display.setCurrent(canvas);
            if (splashTimeout > 0) splashEnd = sessionStart + splashTimeout * 1000L;
            worker = new Thread(this);
            worker.start();
            lightUp();
        } catch (Throwable e) {
            fatal(e);
        }
    }

    // A paused reader (a call, say) stops the autoscroll, counts no reading
    // time and keeps its state, in case the phone ends it while paused.
    protected void pauseApp() {
        if (autoscroll) stopAutoscroll();
        long now = System.currentTimeMillis();
        readingTime += now - sessionStart;
        sessionStart = now;
        saveState();
    }

    protected void destroyApp(boolean unconditional) {
        saveState();
    }

    private void exit() {
        destroyApp(true);
        notifyDestroyed();
    }

    // --- Timers: one worker thread times the frames of a slide (smooth
    // scrolling), turns the backlight off when its time is up, and hands the
    // end of the splash, the autoscroll steps and the slide's frames to the
    // event thread through callSerially. It sleeps until the soonest of these
    // is due, and is woken when one is set. It never paints nor asks for a
    // paint: some phones paint inside repaint(), on the thread that calls it,
    // and a paint must never meet a layout (or the loading of a text file)
    // half done. Layout and paint both happen on the event thread only.
    private Thread worker;
    private long splashEnd; // times the worker watches, 0 for none
    private long lightsOff;
    private long autoNext;
    private int fired; // work due on the event thread
    private static final int FIRED_SPLASH = 1;
    private static final int FIRED_AUTO = 2;
    private static final int LIGHTS_OFF = 4;
    private static final int FIRED_SEARCH = 8;    // the next stretch of a long search
    private static final int FIRED_COMMANDS = 16; // the commands of a page laid out in paint
    private static final int FIRED_SLIDE = 32;    // the next frame of a slide

    public void run() {
        if (Thread.currentThread() == worker) {
            try {
                work();
            } catch (InterruptedException e) {
                // the reader ends
            }
            return;
        }
        int due;
        synchronized (this) {
            due = fired;
            fired = 0;
        }
        if ((due & FIRED_SPLASH) != 0) endSplash();
        if ((due & FIRED_AUTO) != 0) autoStep();
        if ((due & FIRED_SEARCH) != 0) searchStep();
        if ((due & FIRED_COMMANDS) != 0) updateCommands();
        if ((due & FIRED_SLIDE) != 0) scrollFrame();
    }

    // Hands work to the event thread: it runs after the current event and
    // the paint it asked for. Work already handed over and not yet begun
    // takes the new work along, so a slow event thread is not flooded.
    private void later(int work) {
        boolean queued;
        synchronized (this) {
            queued = fired != 0;
            fired |= work;
        }
        if (!queued) display.callSerially(this);
    }

    private void work() throws InterruptedException {
        while (true) {
            if (sliding()) {
                later(FIRED_SLIDE);
                Thread.sleep(20);
                continue;
            }
            int due = nextDue();
            if ((due & LIGHTS_OFF) != 0) TBookN1Canvas.lights(0);
            // Outside this object's lock: the display has locks of its own.
            if ((due & (FIRED_SPLASH | FIRED_AUTO)) != 0) display.callSerially(this);
        }
    }

    // Waits until a slide starts or a timer is due; returns the timers due.
    private synchronized int nextDue() throws InterruptedException {
        while (scrollStep == 0) {
            long now = System.currentTimeMillis();
            int due = 0;
            if (lightsOff != 0 && now >= lightsOff) {
                lightsOff = 0;
                due |= LIGHTS_OFF;
            }
            if (splashEnd != 0 && now >= splashEnd) {
                splashEnd = 0;
                fired |= FIRED_SPLASH;
                due |= FIRED_SPLASH;
            }
            if (autoNext != 0 && now >= autoNext) {
                autoNext = 0;
                fired |= FIRED_AUTO;
                due |= FIRED_AUTO;
            }
            if (due != 0) return due;
            long soonest = soonest(soonest(splashEnd, lightsOff), autoNext);
            wait(soonest == 0 ? 0 : soonest - now);
        }
        return 0;
    }

    private static long soonest(long a, long b) {
        return a == 0 || (b != 0 && b < a) ? b : a;
    }

    // Sets one of the worker's times (0 clears it) and wakes the worker.
    private synchronized void setTimer(int which, long at) {
        if (which == FIRED_SPLASH) splashEnd = at;
        else if (which == FIRED_AUTO) autoNext = at;
        else lightsOff = at;
        notify();
    }

    // Leaves the splash screen: to the password form or to the text.
    void endSplash() {
        if (mode != SPLASH) return;
        splash = null; // shown once: its memory goes to the text
        setTimer(FIRED_SPLASH, 0);
        mode = READ;
        if (passwordMode != 0 && (passwordMode == 2 || !unlocked)) askPassword();
        else showText();
    }

    // Shows the page at the reading position. It is laid out first, when
    // the screen's size is known, so that its commands are in place before
    // the phone paints it (some paint at once).
    private void showText() {
        mode = READ;
        laidOut = false;
        if (screenWidth > 0) {
            layout();
            updateCommands();
        }
        display.setCurrent(canvas);
        canvas.repaint();
    }

    // A damaged midlet ends here: a form that names the fault instead of a crash.
    private void fatal(Throwable e) {
        Form form = new Form(text(1200));
        form.append(e.toString());
        form.addCommand(new Command(text(1107), Command.EXIT, 1));
        form.setCommandListener(this);
        exitCommand = null;
        display.setCurrent(form);
    }

    // A message over the page. A brief one (a confirmation, nothing found)
    // goes away by itself; one that explains a failure waits for a key.
    private void message(String title, String body, boolean brief) {
        message(title, body, brief, canvas);
    }

    private void message(String title, String body, boolean brief, Displayable next) {
        Alert alert = new Alert(title, body, null, AlertType.INFO);
        alert.setTimeout(brief ? BRIEF : Alert.FOREVER);
        display.setCurrent(alert, next);
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
            portrait = in.readInt() != 0;
            int count = in.readInt();
            if (count < 1 || count > 8) throw new IOException("Bad colour schemes " + count);
            schemes = new int[count * 3];
            for (int i = 0; i < schemes.length; i++) schemes[i] = in.readInt();
            textMargin = Math.max(0, Math.min(40, in.readInt()));
            imageMargin = Math.max(0, Math.min(40, in.readInt()));
            smoothScroll = Math.max(0, Math.min(200, in.readInt()));
            smoothLevel = smoothScroll > 0 ? smoothScroll : 8;
            splashTimeout = in.readInt();
            fontCount = Math.max(0, Math.min(3, in.readInt()));
            tocPosition = in.readInt();
            firstLinkId = in.readInt();
            lastLinkId = in.readInt();
            int linkCount = lastLinkId - firstLinkId + 1;
            if (linkCount < 0 || linkCount > 65536) throw new IOException("Bad link range");
            links = new int[linkCount];
            Vector others = new Vector();
            for (int i = 0; i < linkCount; i++) {
                String entry = readString(in);
                int position = new TLinkItem(entry).position;
                if (position < 0) {
                    position = -1 - others.size();
                    others.addElement(entry);
                }
                links[i] = position;
            }
            linkTargets = new String[others.size()];
            others.copyInto(linkTargets);
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
        if (textLength < 1) throw new IOException("Bad text length " + textLength);
        if (passwordMode == 0) mask = maskFromCheck();
    }

    // The check value is h = XOR over i of ((s[i] ^ P ^ i) & 0xffff) << (15 - i),
    // so its part that comes from the password P is the XOR of P shifted by 0
    // to 15 bits; undoing that prefix XOR yields the low 16 bits of P. A book
    // without password mode but with a password opens this way.
    private int maskFromCheck() {
        int folded = checkOf(0) ^ checkValue;
        int p = 0;
        int previous = 0;
        for (int k = 0; k < 16; k++) {
            int bit = (folded >>> k) & 1;
            p |= (bit ^ previous) << k;
            previous = bit;
        }
        return p;
    }

    // The check value of the check string under a password.
    private int checkOf(int password) {
        int h = 0;
        for (int i = 0; i < checkString.length(); i++)
            h = (h << 1) ^ ((checkString.charAt(i) ^ password ^ i) & 0xffff);
        return h;
    }

    // An interface text: cfg.dat's, else the built-in English one.
    String text(int index) {
        Object t = texts.get(new Integer(index));
        if (t != null) return (String) t;
        String key = "\n" + index + "\t";
        int at = DEFAULT_TEXTS.indexOf(key);
        if (at < 0) return "";
        at += key.length();
        return DEFAULT_TEXTS.substring(at, DEFAULT_TEXTS.indexOf('\n', at));
    }

    // --- Saved state: reading position, display settings, bookmarks, then
    // the backlight and autoscroll settings, the book's statistics and the
    // places jumps started from ----------------------------------------------

    private static final String STORE = "Lectoria";
    private boolean unlocked;
    private Vector bookmarks = new Vector(); // Integer positions
    // The most bookmarks the reader saves: the list stays small enough for
    // a phone's heap (a record of older readers may hold up to 1000).
    private static final int BOOKMARKS = 100;
    private int light = -1; // backlight choice: -1 the phone's own, 0 off, 1 on, 2-5 10 to 40 seconds
    private int brightness = 100;
    private int autoDelay = 3; // seconds per line
    private int openCount;
    private long readingTime; // milliseconds, without the current session
    private long sessionStart;
    private int maxPaint; // milliseconds
    private int maxLetters;
    private long paintedLetters;
    private long paintTime;
    private int letters; // drawn by the paint under way
    // Where the last jumps (links, contents, bookmarks, search results)
    // started, the latest last; Back returns there. The oldest is dropped
    // when it is full.
    // With each, the place of the link that was active there plus one (0
    // for none): Back makes it the active link again.
    private static final int HISTORY = 10;
    private final int[] history = new int[HISTORY];
    private final int[] historyLinks = new int[HISTORY];
    private int historyCount;
    private int wantedLink = -1; // the link the next layout makes active, -1 for none

    private void loadState() {
        fontType = fontCount > 0 ? 0 : fontCount + 2;
        try {
            RecordStore rs = RecordStore.openRecordStore(STORE, false);
            try {
                readState(new DataInputStream(new ByteArrayInputStream(rs.getRecord(1))));
            } finally {
                rs.closeRecordStore();
            }
        } catch (Throwable e) {
            // first start, or a damaged store: defaults
        }
        if (top < 0 || top >= textLength) top = 0;
        if (scheme < 0 || scheme * 3 >= schemes.length) scheme = 0;
        if (light < -1 || light > 5) light = -1;
        brightness = Math.max(1, Math.min(100, brightness));
        if (autoDelay < 1 || autoDelay > 99) autoDelay = 3;
        openCount = Math.max(0, openCount) + 1;
        if (readingTime < 0) readingTime = 0;
        if (maxPaint < 0 || maxLetters < 0 || paintedLetters < 0 || paintTime < 0) {
            maxPaint = maxLetters = 0;
            paintedLetters = paintTime = 0;
        }
    }

    // Reads the record of another start of this book. The position part is
    // taken only when it reads whole; the settings and statistics that follow
    // it (added later, each at the end) are missing from older records, which
    // then keep the defaults.
    private void readState(DataInputStream in) throws IOException {
        if (in.readInt() != textLength) return; // another book's store
        int t = in.readInt();
        int type = in.readInt();
        int map = in.readInt();
        boolean upright = in.readBoolean();
        boolean wrap = in.readBoolean();
        int ls = in.readInt();
        int cs = in.readInt();
        boolean known = in.readBoolean();
        int code = in.readInt();
        int n = in.readInt();
        if (n < 0 || n > 1000) return;
        Vector marks = new Vector();
        for (; n > 0; n--) {
            int pos = in.readInt();
            if (pos >= 0 && pos < textLength) marks.addElement(new Integer(pos));
        }
        top = t;
        fontType = type;
        scheme = map;
        portrait = upright;
        wordWrap = wrap;
        if (ls >= -8 && ls <= 8 && cs >= -8 && cs <= 8) {
            lineSpacing = ls;
            charSpacing = cs;
        }
        if (known && passwordMode == 1) {
            unlocked = true;
            mask = code & 0xffff;
        }
        bookmarks = marks;
        light = in.readInt();
        brightness = in.readInt();
        autoDelay = in.readInt();
        openCount = in.readInt();
        readingTime = in.readLong();
        maxPaint = in.readInt();
        maxLetters = in.readInt();
        paintedLetters = in.readLong();
        paintTime = in.readLong();
        int slide = in.readInt();
        if (slide >= 0 && slide <= 200) smoothScroll = slide;
        int jumps = in.readInt();
        if (jumps < 0 || jumps > HISTORY) return;
        int[] places = new int[jumps];
        for (int i = 0; i < jumps; i++) places[i] = in.readInt();
        for (int i = 0; i < jumps; i++)
            if (places[i] >= 0 && places[i] < textLength) history[historyCount++] = places[i];
    }

    // Writes the record; false when the store refused it (the record it
    // holds stays as it was).
    private boolean saveState() {
        if (schemes == null) return false;
        try {
            ByteArrayOutputStream bytes = new ByteArrayOutputStream();
            DataOutputStream out = new DataOutputStream(bytes);
            out.writeInt(textLength);
            out.writeInt(top);
            out.writeInt(fontType);
            out.writeInt(scheme);
            out.writeBoolean(portrait);
            out.writeBoolean(wordWrap);
            out.writeInt(lineSpacing);
            out.writeInt(charSpacing);
            out.writeBoolean(unlocked && passwordMode == 1);
            out.writeInt(unlocked && passwordMode == 1 ? mask : 0);
            out.writeInt(bookmarks.size());
            for (int i = 0; i < bookmarks.size(); i++) out.writeInt(((Integer) bookmarks.elementAt(i)).intValue());
            out.writeInt(light);
            out.writeInt(brightness);
            out.writeInt(autoDelay);
            out.writeInt(openCount);
            out.writeLong(totalReadingTime());
            out.writeInt(maxPaint);
            out.writeInt(maxLetters);
            out.writeLong(paintedLetters);
            out.writeLong(paintTime);
            out.writeInt(smoothScroll);
            out.writeInt(historyCount);
            for (int i = 0; i < historyCount; i++) out.writeInt(history[i]);
            byte[] data = bytes.toByteArray();
            RecordStore rs = RecordStore.openRecordStore(STORE, true);
            try {
                if (rs.getNumRecords() == 0) rs.addRecord(data, 0, data.length);
                else rs.setRecord(1, data, 0, data.length);
            } finally {
                rs.closeRecordStore();
            }
            return true;
        } catch (Throwable e) {
            // a full or missing store loses the position, not the book
            return false;
        }
    }

    private long totalReadingTime() {
        return readingTime + System.currentTimeMillis() - sessionStart;
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

    private boolean isLinkId(char c) {
        return c >= firstLinkId && c <= lastLinkId && c != 0;
    }

    // What the link id c stands for, made when a link is followed.
    private TLinkItem link(char c) {
        int v = links[c - firstLinkId];
        return new TLinkItem(v >= 0 ? "l" + v : linkTargets[-1 - v]);
    }

    private char linkKind(char c) {
        int v = links[c - firstLinkId];
        return v >= 0 ? 'l' : TLinkItem.kindOf(linkTargets[-1 - v]);
    }

    // The link whose text the character at pos belongs to, 0 for none: a
    // link's text stands as M c1 M c2 ... M cn M.
    private char linkAt(int pos) {
        char before = charAt(pos - 1);
        return isLinkId(before) && charAt(pos + 1) == before ? before : 0;
    }

    // An inline picture's link id at pos, 0 for none.
    private char pictureAt(int pos) {
        char c = charAt(pos);
        return isLinkId(c) && linkKind(c) == 'I' ? c : 0;
    }

    // Decoded pictures are the reader's largest objects: once the cached ones
    // cover a screen's area, the cache is emptied before the next one loads,
    // so it never holds much more than a page can show.
    private int picturePixels;

    private TImage picture(char id) {
        Object p = pictures.get(new Integer(id));
        if (p == null) {
            if (pictures.size() > 8 || picturePixels >= screenWidth * screenHeight) {
                pictures.clear();
                picturePixels = 0;
            }
            TImage loaded = TImage.load(link(id).target);
            if (loaded != null) picturePixels += loaded.width * loaded.height;
            p = loaded == null ? (Object) "" : loaded;
            pictures.put(new Integer(id), p);
        }
        return p instanceof TImage ? (TImage) p : null;
    }

    // --- Layout: the page in its own coordinates (turned in landscape) --------

    // The screen's height above the soft-key labels of a full-screen canvas.
    private int areaHeight() {
        return screenHeight - barHeight;
    }

    private int pageWidth() {
        return (portrait ? screenWidth : areaHeight()) - 2 * textMargin;
    }

    private int pageHeight() {
        return (portrait ? areaHeight() : screenWidth) - 2 * textMargin;
    }

    private int advance(TFont f, char c) {
        return Math.max(1, f.charWidth(c) + charSpacing);
    }

    // The room before a text link that the pointer takes when the link is
    // active, so that the pointer never covers a letter.
    private int pointerGap() {
        TImage p = upright() ? pointerPortrait : pointerLandscape;
        return p == null ? 0 : (upright() ? p.width : p.height) + 1;
    }

    // Whether the link id c at i opens a text link (M c1 M c2 ... M cn M).
    private boolean opensLink(int i, char c) {
        return charAt(i + 2) == c && charAt(i - 2) != c && !isLinkId(charAt(i + 1));
    }

    // Width of the character at i in a line of font f: link id characters
    // take none, except the pointer's room before a text link.
    private int width(TFont f, int i, char c) {
        if (c == '\r') return 0;
        if (isLinkId(c)) return opensLink(i, c) ? pointerGap() : 0;
        return advance(f, c);
    }

    // --- Chapter headings: the header records come first in the link table
    // and are the jumps that the table of contents lists, line by line, in
    // link id order. A heading runs from its header's place over its title
    // (all its lines: a title may be "Chapter 1" and "The Ferry") and to the
    // end of that paragraph, and is drawn in the heading font.
    private int headerCount = -1; // -1 until counted, on the first layout
    private int[] headerPlaces;   // their places in ascending order
    private byte[] headerLengths; // their titles' lengths up to 255, in the same order

    private void countHeaders() {
        int n = 0;
        byte[] lengths = new byte[links.length];
        if (links.length > 0 && links[0] >= 0) {
            int pos = contents();
            while (n < links.length && links[n] >= 0) {
                int end = tocLine(pos, (char) (firstLinkId + n));
                if (end < 0) break;
                // A contents line is the title with the id before each
                // letter and after the last, and a line feed.
                lengths[n++] = (byte) Math.min((end - pos - 2) / 2, 255);
                pos = end;
            }
        }
        if (n < lengths.length) {
            byte[] counted = new byte[n];
            System.arraycopy(lengths, 0, counted, 0, n);
            lengths = counted;
        }
        boolean sorted = true;
        for (int i = 1; i < n; i++)
            if (links[i - 1] > links[i]) sorted = false;
        headerPlaces = links;
        if (!sorted) {
            // A part of a divided book: headers outside it lead to its end.
            headerPlaces = new int[n];
            System.arraycopy(links, 0, headerPlaces, 0, n);
            for (int gap = n / 2; gap > 0; gap /= 2)
                for (int i = gap; i < n; i++)
                    for (int j = i; j >= gap && headerPlaces[j - gap] > headerPlaces[j]; j -= gap) {
                        int t = headerPlaces[j];
                        headerPlaces[j] = headerPlaces[j - gap];
                        headerPlaces[j - gap] = t;
                        byte b = lengths[j];
                        lengths[j] = lengths[j - gap];
                        lengths[j - gap] = b;
                    }
        }
        headerLengths = lengths;
        headerCount = n;
    }

    // Where the line after a contents line at pos (M t1 M ... M tk M and a
    // line feed, M being the link id) begins, or -1 when pos holds no such line.
    private int tocLine(int pos, char id) {
        int end = Math.min(textLength, pos + 2048);
        int p = pos;
        while (p < end && charAt(p) == id) {
            if (charAt(p + 1) == '\n') return p + 2;
            if (isLinkId(charAt(p + 1))) return -1;
            p += 2;
        }
        return -1;
    }

    // Whether the line that starts at pos belongs to a heading.
    private boolean heading(int pos) {
        if (headerCount < 0) countHeaders();
        int lo = 0;
        int hi = headerCount - 1;
        int found = -1;
        while (lo <= hi) {
            int mid = (lo + hi) >>> 1;
            if (headerPlaces[mid] <= pos) {
                found = mid;
                lo = mid + 1;
            } else {
                hi = mid - 1;
            }
        }
        if (found < 0) return false;
        int start = headerPlaces[found];
        if (pos - start > 512) return false;
        if (pos - start < (headerLengths[found] & 0xFF)) return true; // a line of its title
        for (int p = start; p < pos; p++)
            if (charAt(p) == '\n') return false;
        return true;
    }

    // The font of the line that starts at pos.
    private TFont lineFont(int pos) {
        return heading(pos) ? font.heading() : font;
    }

    // Height of the line that starts at pos.
    private int lineHeight(int pos) {
        char id = pictureAt(pos);
        if (id != 0) {
            TImage p = picture(id);
            if (p != null && upright()) return Math.min(pageHeight(), p.height + 2 * imageMargin);
        }
        return Math.max(1, lineFont(pos).height + lineSpacing);
    }

    // The first character of the line after the one that starts at pos. An
    // inline picture stands on a line of its own. Blanks that do not fit end
    // the line they follow (with the line break after them), so a line never
    // begins with a blank; a word too long for the line is broken, with room
    // for the hyphen that paintLine adds when the font has one.
    private int lineEnd(int pos) {
        TFont f = lineFont(pos);
        int width = pageWidth();
        int x = 0;
        int wrap = -1;
        int i = pos;
        while (i < textLength) {
            char c = charAt(i);
            if (c == '\n') return i + 1;
            if (isLinkId(c) && pictureAt(i) != 0) return i > pos ? i : i + 1;
            int w = width(f, i, c);
            if (w > 0 && x + w > width && i > pos) {
                if (c == ' ') {
                    while (charAt(i) == ' ' || charAt(i) == '\r') i++;
                    return charAt(i) == '\n' ? i + 1 : i;
                }
                if (wordWrap && wrap > pos) return wrap;
                if (!f.has('-')) return i;
                // Back to where the hyphen fits after the line's part of the word.
                int hyphen = advance(f, '-');
                while (i > pos + 1 && x + hyphen > width) x -= width(f, i - 1, charAt(--i));
                return i;
            }
            x += w;
            i++;
            if (c == ' ' || c == '-') wrap = i;
        }
        return textLength;
    }

    // Whether the line that ends at end breaks a word: a letter (or another
    // visible character but the hyphen) on both sides, link ids apart.
    private boolean breaksWord(int start, int end) {
        int a = end - 1;
        while (a > start && isLinkId(charAt(a))) a--;
        int b = end;
        while (b < textLength && isLinkId(charAt(b)) && pictureAt(b) == 0) b++;
        return end < textLength && wordChar(charAt(a)) && wordChar(charAt(b));
    }

    private boolean wordChar(char c) {
        return c > ' ' && c != '-' && !isLinkId(c);
    }

    private void layout() {
        int height = pageHeight();
        int pos = top;
        int y = 0;
        lineCount = 0;
        pageLinkCount = 0;
        while (pos < textLength) {
            int h = lineHeight(pos);
            if (y + h > height && lineCount > 0) break;
            if (lineCount + 1 >= lineStart.length) {
                lineStart = grow(lineStart);
                lineTop = grow(lineTop);
            }
            lineStart[lineCount] = pos;
            lineTop[lineCount++] = y;
            int end = lineEnd(pos);
            for (int i = pos; i < end; i++) {
                // A link counts at its first character on the page.
                char id = pictureAt(i);
                if (id == 0 && !isLinkId(charAt(i))) {
                    id = linkAt(i);
                    if (id != 0 && i - 2 >= top && linkAt(i - 2) == id) id = 0;
                }
                if (id != 0) {
                    if (pageLinkCount == pageLinks.length) pageLinks = grow(pageLinks);
                    pageLinks[pageLinkCount++] = i;
                }
            }
            y += h;
            pos = end;
        }
        // A heading never ends a page: when the page ends with a heading's
        // lines (and the blank lines after them) and the text goes on, they
        // go to the next page, unless they are all the page holds.
        lineStart[lineCount] = pos;
        if (pos < textLength) {
            int last = lineCount;
            while (last > 0 && blankLine(lineStart[last - 1], lineStart[last])) last--;
            int keep = last;
            while (keep > 0 && heading(lineStart[keep - 1])) keep--;
            if (keep < last && keep > 0) {
                lineCount = keep;
                pos = lineStart[keep];
                while (pageLinkCount > 0 && pageLinks[pageLinkCount - 1] >= pos) pageLinkCount--;
            }
        }
        lineStart[lineCount] = pos;
        next = pos;
        if (activeLink >= pageLinkCount) activeLink = pageLinkCount - 1;
        for (int k = 0; wantedLink >= 0 && k < pageLinkCount; k++)
            if (pageLinks[k] == wantedLink) activeLink = k;
        wantedLink = -1;
        laidOut = true;
    }

    // Whether the line from start to end shows nothing but blanks.
    private boolean blankLine(int start, int end) {
        for (int i = start; i < end; i++)
            if (charAt(i) > ' ') return false;
        return true;
    }

    private static int[] grow(int[] a) {
        int[] b = new int[a.length * 2];
        System.arraycopy(a, 0, b, 0, a.length);
        return b;
    }

    // Where the paragraph that holds the character before end begins, at
    // most one text file back: lines are laid out from there, so that their
    // breaks match the forward layout.
    private int paragraphStart(int end) {
        int from = end - 1;
        int limit = Math.max(0, end - PIECE_SIZE);
        while (from > limit && charAt(from - 1) != '\n') from--;
        return Math.max(0, from);
    }

    // The start of the line that holds pos.
    private int lineStartAt(int pos) {
        pos = Math.max(0, Math.min(pos, textLength - 1));
        int start = paragraphStart(pos + 1);
        for (int p = start; p <= pos; p = lineEnd(p)) start = p;
        return start;
    }

    // The first character of the page that ends where the page at pos begins.
    private int previousPage(int pos) {
        int height = pageHeight();
        int used = 0;
        int end = pos;
        int result = pos;
        while (end > 0) {
            int from = paragraphStart(end);
            int[] starts = new int[16];
            int n = 0;
            for (int p = from; p < end; p = lineEnd(p)) {
                if (n == starts.length) starts = grow(starts);
                starts[n++] = p;
            }
            while (n > 0) {
                int h = lineHeight(starts[--n]);
                if (used + h > height && used > 0) return result;
                used += h;
                result = starts[n];
            }
            end = from;
        }
        return result;
    }

    // --- Drawing -------------------------------------------------------------

    // Whether the page is drawn without turning: portrait, or landscape
    // through an off-screen image that MIDP 2.0 turns (phone fonts draw
    // upright only).
    private boolean upright() {
        return portrait || !font.turns();
    }

    // The off-screen page of turned phone fonts.
    private javax.microedition.lcdui.Image turnedPage;

    // Fills a rectangle given in page coordinates.
    void fill(Graphics g, int x, int y, int w, int h) {
        if (upright()) g.fillRect(textMargin + x, textMargin + y, w, h);
        else g.fillRect(screenWidth - textMargin - y - h, textMargin + x, h, w);
    }

    void paint(Graphics g, int width, int height) {
        if (width != screenWidth || height != screenHeight) {
            screenWidth = width;
            screenHeight = height;
            laidOut = false;
        }
        int back = schemes[scheme * 3];
        g.setColor(back);
        g.fillRect(0, 0, width, height);
        if (mode == SPLASH) {
            paintSplash(g);
            return;
        }
        if (mode == PICTURE) {
            if (shownPicture != null) shownPicture.drawCentred(g, 0, 0, width, height);
            return;
        }
        long started = System.currentTimeMillis();
        letters = 0;
        if (background != null) background.drawCentred(g, 0, 0, width, height);
        if (!laidOut) {
            layout();
            // Commands never change inside paint: the page's go on after it.
            if (!fullScreen) later(FIRED_COMMANDS);
        }
        if (!portrait && !font.turns()) {
            // Landscape with a phone font (MIDP 2.0 only): draw the page
            // upright off screen, then turn it onto the screen.
            int area = areaHeight();
            if (turnedPage == null || turnedPage.getWidth() != area || turnedPage.getHeight() != width)
                turnedPage = javax.microedition.lcdui.Image.createImage(area, width);
            Graphics page = turnedPage.getGraphics();
            page.setColor(back);
            page.fillRect(0, 0, area, width);
            paintPage(page);
            TBookN2Canvas.drawTurned(g, turnedPage);
        } else {
            paintPage(g);
        }
        if (fullScreen) paintSoftKeys(g);
        // Statistics of the Information form.
        int took = (int) (System.currentTimeMillis() - started);
        maxPaint = Math.max(maxPaint, took);
        maxLetters = Math.max(maxLetters, letters);
        paintedLetters += letters;
        paintTime += took;
    }

    private void paintPage(Graphics g) {
        if (scrollStep != 0) {
            paintScrolled(g);
            return;
        }
        int active = activeLink >= 0 ? pageLinks[activeLink] : -1;
        char activeId = active >= 0 ? (pictureAt(active) != 0 ? charAt(active) : linkAt(active)) : 0;
        for (int line = 0; line < lineCount; line++)
            paintLine(g, lineStart[line], lineStart[line + 1], lineTop[line], active, activeId);
    }

    // Draws the characters from start to end as one line at height y of the
    // page. The active link has its pointer in the room before it; the word
    // found by the search is drawn in the page's colours reversed.
    private void paintLine(Graphics g, int start, int end, int y, int active, char activeId) {
        TFont f = lineFont(start);
        int back = schemes[scheme * 3];
        int ink = schemes[scheme * 3 + 1];
        int linkInk = schemes[scheme * 3 + 2];
        int x = 0;
        // The blanks that end the line are not drawn: no underline nor mark
        // runs past its last word.
        int solid = end;
        while (solid > start && (charAt(solid - 1) <= ' ' || (isLinkId(charAt(solid - 1)) && pictureAt(solid - 1) == 0)))
            solid--;
        char linkId = 0;
        for (int i = start; i < end; i++) {
            char c = charAt(i);
            if (c == ' ' && i >= solid) continue;
            char id = pictureAt(i);
            if (id != 0) {
                paintPicture(g, i, y, id == activeId);
                continue;
            }
            if (c == '\n' || c == '\r') continue;
            if (isLinkId(c)) {
                if (opensLink(i, c)) {
                    if (i + 1 == active) paintPointer(g, x, y, f);
                    x += pointerGap();
                }
                continue;
            }
            linkId = linkAt(i);
            int w = advance(f, c);
            boolean marked = i >= markStart && i < markEnd;
            if (marked) {
                g.setColor(ink);
                fill(g, x, y, w, f.height);
            }
            g.setColor(marked ? back : linkId != 0 ? linkInk : ink);
            // Loadable fonts draw through fill() in page coordinates.
            if (f.turns()) f.drawChar(g, c, x, y);
            else f.drawChar(g, c, textMargin + x, textMargin + y);
            letters++;
            if (linkId != 0) fill(g, x, y + f.height - 1, w, linkId == activeId ? 2 : 1);
            x += w;
        }
        if (f.has('-') && breaksWord(start, end)) {
            g.setColor(linkId != 0 ? linkInk : ink);
            if (f.turns()) f.drawChar(g, '-', x, y);
            else f.drawChar(g, '-', textMargin + x, textMargin + y);
        }
    }

    // The labels of the soft keys of a full-screen canvas, below the page:
    // the menu on the left, what the right one does on the right.
    private void paintSoftKeys(Graphics g) {
        int y = areaHeight();
        g.setColor(schemes[scheme * 3]);
        g.fillRect(0, y, screenWidth, barHeight);
        g.setColor(schemes[scheme * 3 + 1]);
        g.fillRect(0, y, screenWidth, 1);
        g.setFont(barFont);
        String menu = softText(1105);
        g.drawString(menu, 2, y + 1, Graphics.TOP | Graphics.LEFT);
        int right = rightSoftKey();
        if (right == 0) return;
        // A right label too long for the room beside the left one (a narrow
        // screen, a long translation) starts after it and is cut at the edge.
        String label = softText(right);
        int from = barFont.stringWidth(menu) + 8;
        g.setClip(from, y, screenWidth - from, barHeight);
        if (barFont.stringWidth(label) <= screenWidth - 2 - from)
            g.drawString(label, screenWidth - 2, y + 1, Graphics.TOP | Graphics.RIGHT);
        else
            g.drawString(label, from, y + 1, Graphics.TOP | Graphics.LEFT);
        g.setClip(0, 0, screenWidth, screenHeight);
    }

    // --- Smooth scrolling: a page turn slides two laid-out pages, the upper
    // one (its lines from slideStarts[0] to slideStarts[1]) with the lower
    // one (from slideStarts[2] to slideStarts[3]) slideGap pixels below it,
    // by scrollStep pixels a frame, scrollOffset pixels up, until the new
    // page stands where it belongs. Pages that overlap (autoscroll moves a
    // line at a time) slide as one text: the upper one ends where the lower
    // one begins, which stands as far below as those lines are high.
    private int slideGap;
    private int scrollStep;
    private final int[] slideStarts = new int[4];
    private int scrollOffset;
    private int scrollEnd;
    private int smoothScroll;
    private int smoothLevel; // pixels a frame when the display form turns sliding on

    private void paintScrolled(Graphics g) {
        if (upright()) g.setClip(0, textMargin, 4096, pageHeight());
        else g.setClip(textMargin, 0, pageHeight(), areaHeight());
        int height = pageHeight();
        for (int page = 0; page < 4; page += 2) {
            int y = (page == 0 ? 0 : slideGap) - scrollOffset;
            for (int pos = slideStarts[page]; pos < slideStarts[page + 1] && y < height;) {
                int h = lineHeight(pos);
                int end = lineEnd(pos);
                if (y + h > 0) paintLine(g, pos, end, y, -1, (char) 0);
                y += h;
                pos = end;
            }
        }
        g.setClip(0, 0, 4096, 4096);
    }

    // Turns to the page at pos, sliding when smooth scrolling is on.
    private void turnTo(int pos) {
        int old = top;
        int oldEnd = next;
        goTo(pos);
        if (smoothScroll <= 0 || mode != READ || top == old) return;
        layout();
        boolean forward = top > old;
        int upper = forward ? old : top;
        int upperEnd = forward ? oldEnd : next;
        int lower = forward ? top : old;
        int gap = pageHeight();
        if (lower < upperEnd) {
            upperEnd = lower;
            gap = 0;
            for (int p = upper; p < lower; p = lineEnd(p)) gap += lineHeight(p);
        }
        synchronized (this) {
            slideStarts[0] = upper;
            slideStarts[1] = upperEnd;
            slideStarts[2] = lower;
            slideStarts[3] = forward ? next : oldEnd;
            slideGap = gap;
            scrollOffset = forward ? 0 : gap;
            scrollEnd = forward ? gap : 0;
            scrollStep = forward ? smoothScroll : -smoothScroll;
            // The key's own paint shows the first frame: the text is on its way.
            slideStep();
            notify();
        }
    }

    private synchronized boolean sliding() {
        return scrollStep != 0;
    }

    // One frame of the slide, on the event thread. The repaint is asked for
    // outside this object's lock, which a paint at once may want.
    private void scrollFrame() {
        if (sliding()) {
            slideStep();
            canvas.repaint();
        }
    }

    private synchronized void slideStep() {
        scrollOffset += scrollStep;
        if (scrollStep > 0 ? scrollOffset >= scrollEnd : scrollOffset <= scrollEnd) scrollStep = 0;
    }

    private synchronized void stopScrolling() {
        scrollStep = 0;
    }

    private void paintPicture(Graphics g, int pos, int y, boolean active) {
        TImage p = picture(charAt(pos));
        int h = lineHeight(pos);
        if (p != null && upright()) {
            p.drawCentred(g, textMargin, textMargin + y + imageMargin, pageWidth(), h - 2 * imageMargin);
        }
        if (active || p == null || !upright()) {
            // A frame marks the active picture, and stands for one that cannot be shown here.
            g.setColor(schemes[scheme * 3 + 2]);
            int w = pageWidth();
            fill(g, 0, y, w, 1);
            fill(g, 0, y + h - 1, w, 1);
            fill(g, 0, y, 1, h);
            fill(g, w - 1, y, 1, h);
        }
    }

    // Draws the pointer in the room at x before a link, centred on the line
    // of font f at height y of the page.
    private void paintPointer(Graphics g, int x, int y, TFont f) {
        TImage p = upright() ? pointerPortrait : pointerLandscape;
        if (p == null) return;
        if (upright()) {
            g.drawImage(p.image, textMargin + x, textMargin + y + (f.height - p.height) / 2,
                        Graphics.TOP | Graphics.LEFT);
        } else {
            g.drawImage(p.image, screenWidth - textMargin - y - (f.height + p.width) / 2, textMargin + x,
                        Graphics.TOP | Graphics.LEFT);
        }
    }

    // The splash: the cover (or the logo) with the two texts on bands of the
    // page colour, readable over any picture.
    private void paintSplash(Graphics g) {
        // The cover is stored for the usual screen: a smaller one shows it
        // made smaller, whole.
        if (splash == null) splash = TImage.load("logo.png");
        if (splash != null) {
            splash = splash.fit(screenWidth, screenHeight, schemes[scheme * 3]);
            splash.drawCentred(g, 0, 0, screenWidth, screenHeight);
        }
        Font f = Font.getFont(Font.FACE_PROPORTIONAL, Font.STYLE_BOLD, Font.SIZE_MEDIUM);
        // A narrow screen takes the small font when a text would be cut.
        if (Math.max(f.stringWidth(text(20)), f.stringWidth(text(21))) > screenWidth - 4)
            f = Font.getFont(Font.FACE_PROPORTIONAL, Font.STYLE_PLAIN, Font.SIZE_SMALL);
        g.setFont(f);
        caption(g, f, text(20), 4);
        caption(g, f, text(21), screenHeight - 4 - f.getHeight());
    }

    private void caption(Graphics g, Font f, String s, int y) {
        if (s.length() == 0) return;
        int w = Math.min(screenWidth, f.stringWidth(s) + 8);
        g.setColor(schemes[scheme * 3]);
        g.fillRect((screenWidth - w) / 2, y - 2, w, f.getHeight() + 4);
        g.setColor(schemes[scheme * 3 + 1]);
        g.drawString(s, screenWidth / 2, y, Graphics.TOP | Graphics.HCENTER);
    }

    // --- Fonts ---------------------------------------------------------------

    // Font types: the loadable fonts first, then twelve phone fonts (two faces,
    // three sizes, plain and bold).
    private int fontTypes() {
        return fontCount + 12;
    }

    private void selectFont(int type) {
        if (type < 0 || type >= fontTypes()) type = fontCount > 0 ? 0 : fontCount + 2;
        Object f = fonts.get(new Integer(type));
        if (f == null) {
            if (type < fontCount) {
                try {
                    f = new TLoadableFont(type);
                } catch (Throwable e) {
                    // a damaged or empty font: drop it and the later ones, take the default
                    fontCount = type;
                    fonts.clear();
                    selectFont(-1);
                    return;
                }
            } else {
                int phone = type - fontCount;
                int face = phone < 6 ? Font.FACE_PROPORTIONAL : Font.FACE_MONOSPACE;
                int[] sizes = {Font.SIZE_SMALL, Font.SIZE_MEDIUM, Font.SIZE_LARGE};
                f = new TFont(face, (phone & 1) == 0 ? Font.STYLE_PLAIN : Font.STYLE_BOLD, sizes[(phone % 6) / 2]);
            }
            fonts.put(new Integer(type), f);
        }
        fontType = type;
        font = (TFont) f;
        if (!font.turns() && !midp2) portrait = true;
        laidOut = false;
    }

    // --- Keys ----------------------------------------------------------------

    void keyPressed(int keyCode) {
        int action = gameAction(keyCode);
        press(keyCode, action, special(keyCode, action));
    }

    // A held key repeats the page turns and the moves between links only:
    // a held soft key, Select or Clear must not follow a link and then go
    // back, nor a number key open its screen twice.
    void keyRepeated(int keyCode) {
        int action = gameAction(keyCode);
        if (keyCode == Canvas.KEY_POUND || (moves(action) && (keyCode < Canvas.KEY_NUM0 || keyCode > Canvas.KEY_NUM9)))
            press(keyCode, action, 0);
    }

    private int gameAction(int keyCode) {
        try {
            return canvas.getGameAction(keyCode);
        } catch (Throwable e) {
            return 0; // not a key with a game action
        }
    }

    private static boolean moves(int action) {
        return action == Canvas.UP || action == Canvas.DOWN || action == Canvas.LEFT || action == Canvas.RIGHT;
    }

    // A touch on the canvas (touch screens): on the soft-key labels of a
    // full-screen canvas what that soft key does; on a link of the page,
    // following it; elsewhere the page before from the upper third of the
    // page, the next page from the rest. The splash, a picture or the
    // autoscroll end on any touch, as on any key.
    void pointerPressed(int x, int y) {
        int w = canvas.getWidth();
        int action = Canvas.DOWN;
        int special = 0;
        if (fullScreen && y >= canvas.getHeight() - barHeight) {
            special = x < w / 2 ? KEY_SOFT1 : KEY_SOFT2;
        } else if (mode == READ && !autoscroll && laidOut) {
            // The point in page coordinates (the page is turned in landscape).
            int px = (portrait ? x : y) - textMargin;
            int py = (portrait ? y : w - 1 - x) - textMargin;
            int k = linkAtPoint(px, py);
            if (k >= 0) {
                activeLink = k;
                action = Canvas.FIRE;
            } else if (py < pageHeight() / 3) {
                action = Canvas.UP;
            }
        }
        press(0, action, special);
    }

    // The index in pageLinks of the link drawn at (px, py) of the page, -1
    // for none.
    private int linkAtPoint(int px, int py) {
        for (int line = 0; line < lineCount; line++) {
            int start = lineStart[line];
            if (py < lineTop[line] || py >= lineTop[line] + lineHeight(start)) continue;
            TFont f = lineFont(start);
            char id = pictureAt(start);
            for (int i = start, x = 0; id == 0 && i < lineStart[line + 1] && x <= px; i++) {
                char c = charAt(i);
                x += width(f, i, c);
                // The pointer's room before a link belongs to the link.
                if (x > px) id = isLinkId(c) ? (opensLink(i, c) ? c : 0) : linkAt(i);
            }
            for (int k = 0; id != 0 && k < pageLinkCount; k++) {
                int pos = pageLinks[k];
                if ((pictureAt(pos) != 0 ? charAt(pos) : linkAt(pos)) == id) return k;
            }
        }
        return -1;
    }

    private void press(int keyCode, int action, int special) {
        lightUp();
        if (mode == SPLASH) {
            endSplash();
            return;
        }
        if (mode == PICTURE) {
            showText();
            return;
        }
        stopScrolling();
        if (autoscroll) {
            // Any key stops the autoscroll, and does nothing else: the page
            // stays where the reader stopped it.
            stopAutoscroll();
            return;
        }
        screenWidth = canvas.getWidth();
        screenHeight = canvas.getHeight();
        if (!laidOut) layout();
        if (keyCode == Canvas.KEY_NUM0) {
            selectFont((fontType + 1) % fontTypes());
        } else if (keyCode >= Canvas.KEY_NUM1 && keyCode <= Canvas.KEY_NUM8) {
            // Keys 1 to 8 are the first eight items of the menu.
            menuItem(keyCode - Canvas.KEY_NUM1);
            return;
        } else if (keyCode == Canvas.KEY_NUM9) {
            // On from the word found last, wherever the reader went since
            // (a note and back, other pages), or from this page before any.
            search(lastMatch >= 0 ? lastMatch + 1 : top);
            return;
        } else if (keyCode == Canvas.KEY_STAR || keyCode == KEY_DIAL || special == KEY_SOFT1) {
            showMenu();
            return;
        } else if (special == KEY_SOFT2) {
            if (activeLink >= 0) follow(pageLinks[activeLink]);
            else back();
            return;
        } else if (special == KEY_CLEAR) {
            back();
            return;
        } else if (keyCode == Canvas.KEY_POUND || action == Canvas.DOWN) {
            nextPage();
        } else if (action == Canvas.UP) {
            previousPage();
        } else if (action == Canvas.RIGHT) {
            if (activeLink + 1 < pageLinkCount) activeLink++;
            else nextPage();
        } else if (action == Canvas.LEFT) {
            if (activeLink > 0) activeLink--;
            else previousPage();
        } else if (action == Canvas.FIRE) {
            if (activeLink >= 0) follow(pageLinks[activeLink]);
            else showMenu();
            return;
        } else {
            return;
        }
        refresh();
    }

    // Which of the keys that differ between phones keyCode is: KEY_SOFT1,
    // KEY_SOFT2, KEY_CLEAR, or 0 for another key. A key with a direction or
    // select game action stays that key: Motorola sends -6 for Down, and -1
    // and -4 are Up and Right on most phones but Siemens's soft keys. Soft
    // keys are -6/-7 (most phones), -21/-22 or 21/22 (Motorola), -202/-203
    // (LG), or known by a name that says "soft" (Siemens: SOFT1, SOFT4);
    // Clear is -8, the Back key -11 or -16 of some phones, -204 (LG), or a
    // key named Clear or Back.
    private int special(int keyCode, int action) {
        if (moves(action) || action == Canvas.FIRE) return 0;
        if (keyCode == KEY_SOFT1 || keyCode == -21 || keyCode == 21 || keyCode == -202) return KEY_SOFT1;
        if (keyCode == KEY_SOFT2 || keyCode == -22 || keyCode == 22 || keyCode == -203) return KEY_SOFT2;
        if (keyCode == KEY_CLEAR || keyCode == -11 || keyCode == -16 || keyCode == -204) return KEY_CLEAR;
        if (keyCode >= 0) return 0;
        String name;
        try {
            name = canvas.getKeyName(keyCode).toUpperCase();
        } catch (Throwable e) {
            return 0;
        }
        if (name.indexOf("SOFT") >= 0)
            return name.indexOf("RIGHT") >= 0 || name.indexOf('2') >= 0 || name.indexOf('4') >= 0 ? KEY_SOFT2
                                                                                                  : KEY_SOFT1;
        return name.indexOf("CLEAR") >= 0 || name.indexOf("BACK") >= 0 ? KEY_CLEAR : 0;
    }

    // After a key on the page: lays the page out when it moved, puts its
    // commands on, and paints it.
    private void refresh() {
        if (!laidOut) layout();
        updateCommands();
        canvas.repaint();
    }

    // What following the active link does, as the text that names it (51
    // to 55), or 0 when no link is active.
    private int linkAction() {
        if (mode != READ || !laidOut || activeLink < 0) return 0;
        int pos = pageLinks[activeLink];
        char id = pictureAt(pos);
        if (id == 0) id = linkAt(pos);
        switch (linkKind(id)) {
            case 'I':
            case 'i':
                return 51; // Show image
            case 'h':
            case 'f':
                return 52; // Go to link
            case 'p':
                return 53; // Make a call
            case 's':
                return 54; // Send SMS
            default:
                return 55; // Go to: label jumps, contents entries, missing labels
        }
    }

    // What the right soft key of a full-screen canvas does, as the text that
    // names it: the active link's action, else Back while there is a jump
    // to go back from, else nothing (0).
    private int rightSoftKey() {
        int t = linkAction();
        if (t == 0 && historyCount > 0) t = 1108;
        return t;
    }

    // The soft-key labels (texts 51 to 55, 1105 and 1108), read once.
    private final String[] softTexts = new String[7];

    private String softText(int index) {
        int k = index == 1105 ? 5 : index == 1108 ? 6 : index - 51;
        if (softTexts[k] == null) softTexts[k] = text(index);
        return softTexts[k];
    }

    // Puts on the canvas the command for the active link's kind and Back
    // while there is a jump to go back from, and takes away what no longer
    // applies. Never called from paint: some phones refuse that.
    private void updateCommands() {
        if (fullScreen) return;
        int t = linkAction();
        Command c = null;
        if (t != 0) {
            c = linkCommands[t - 51];
            if (c == null) c = linkCommands[t - 51] = new Command(softText(t), Command.OK, 1);
        }
        if (c != linkCommand) {
            if (linkCommand != null) canvas.removeCommand(linkCommand);
            if (c != null) canvas.addCommand(c);
            linkCommand = c;
        }
        boolean b = mode == READ && historyCount > 0;
        if (b != backOffered) {
            if (b) canvas.addCommand(backCommand);
            else canvas.removeCommand(backCommand);
            backOffered = b;
        }
    }

    // The link command does what Select does on the active link.
    private void followActiveLink() {
        stopScrolling();
        if (autoscroll) stopAutoscroll();
        if (!laidOut) layout();
        if (mode == READ && activeLink >= 0) follow(pageLinks[activeLink]);
    }

    private void nextPage() {
        if (next < textLength) turnTo(next);
    }

    private void previousPage() {
        if (top > 0) turnTo(previousPage(top));
    }

    private void goTo(int pos) {
        top = Math.max(0, Math.min(pos, textLength - 1));
        activeLink = -1;
        wantedLink = -1;
        markStart = markEnd = -1;
        laidOut = false;
    }

    // Goes to pos and remembers where the jump started, for Back.
    private void jump(int pos) {
        int from = top;
        int link = laidOut && activeLink >= 0 ? pageLinks[activeLink] + 1 : 0;
        goTo(pos);
        if (top == from) return;
        if (historyCount == HISTORY) {
            System.arraycopy(history, 1, history, 0, HISTORY - 1);
            System.arraycopy(historyLinks, 1, historyLinks, 0, HISTORY - 1);
            historyCount--;
        }
        historyLinks[historyCount] = link;
        history[historyCount++] = from;
    }

    // Back to where the last jump started, with the link followed there active.
    private void back() {
        if (historyCount > 0) {
            goTo(history[--historyCount]);
            wantedLink = historyLinks[historyCount] - 1;
        }
        showText();
    }

    // The table of contents: where the first header's link id first stands,
    // at or after its place in the text without the head text.
    private int contents() {
        int limit = Math.min(textLength, tocPosition + 65536);
        for (int i = Math.max(0, tocPosition); i < limit; i++)
            if (charAt(i) == firstLinkId && isLinkId(charAt(i))) return i;
        return tocPosition;
    }

    // Follows the link whose first character on the page is at pos.
    private void follow(int pos) {
        char id = pictureAt(pos);
        if (id == 0) id = linkAt(pos);
        if (id == 0) return;
        TLinkItem item = link(id);
        String target = item.target;
        switch (item.kind) {
            case 'l':
                jump(item.position);
                showText();
                return;
            case 'I':
            case 'i':
                shownPicture = item.kind == 'I' ? picture(id) : TImage.load(target);
                if (shownPicture == null) {
                    message(text(52), NO_TARGET + target, false);
                    return;
                }
                mode = PICTURE;
                updateCommands();
                canvas.repaint();
                return;
            case 's':
                if (TBookCanvasInit.hasClass("javax.wireless.messaging.MessageConnection")) {
                    int colon = target.indexOf(':');
                    String number = colon < 0 ? target : target.substring(0, colon);
                    String body = colon < 0 ? "" : target.substring(colon + 1);
                    message(text(54), TSms.send(number, body), false);
                    return;
                }
                request("sms:" + target, text(54));
                return;
            case 'p':
                request("tel:" + target, text(53));
                return;
            case 'h':
                request(target.indexOf("://") < 0 ? "http://" + target : target, text(52));
                return;
            case 'f':
                request("file:///" + target, text(52));
                return;
            default:
                message(text(52), NO_TARGET + target, false);
        }
    }

    // Hands an address to the phone (MIDP 2.0), or explains that it cannot.
    private void request(String url, String title) {
        if (!midp2 || !TBookN2Canvas.request(this, url)) message(title, NO_SERVICE + url, false);
    }

    // --- Menus and forms -----------------------------------------------------

    // The main menu: items 0 to 11 of the interface texts, with Back (text
    // 12) before Exit while there is a jump to go back from.
    private void showMenu() {
        menu = new List(text(50), Choice.IMPLICIT);
        for (int i = 0; i <= 10; i++) menu.append(text(i), null);
        menuBack = historyCount > 0;
        if (menuBack) menu.append(text(12), null);
        menu.append(text(11), null);
        menu.addCommand(cancelCommand);
        menu.setCommandListener(this);
        display.setCurrent(menu);
    }

    // Item i of the main menu (its text is interface text i).
    private void menuItem(int i) {
        if (i == 0) showNavigator();
        else if (i == 1) addBookmark();
        else if (i == 2) showBookmarks();
        else if (i == 3) showSearch();
        else if (i == 4) showDisplayForm();
        else if (i == 5) showBacklightForm();
        else if (i == 6) showAutoscrollForm();
        else if (i == 7) showDateTime();
        else if (i == 8) showBookInfo();
        else if (i == 9) showInfo(700, help());
        else if (i == 10) showInfo(900, text(901) + " " + text(906) + "\n" + text(902) + " " + text(903) + "\n"
                                         + text(904) + " " + text(905));
        else exit();
    }

    private void showNavigator() {
        navigator = new List(text(300), Choice.IMPLICIT);
        navigator.append(text(302), null);
        navigator.append(text(303), null);
        navigator.append(text(304), null);
        navigator.append(text(305), null);
        String custom = text(306);
        if (custom.length() > 0) navigator.append(custom, null);
        navigator.addCommand(cancelCommand);
        navigator.setCommandListener(this);
        display.setCurrent(navigator);
    }

    // Saves a bookmark at the page on screen. One the store cannot take (it
    // is full, or the list holds BOOKMARKS already) is not kept, so that the
    // record stays the size the store holds and the reading position is
    // still saved later; the message says so.
    private void addBookmark() {
        Integer here = new Integer(top);
        boolean saved = bookmarks.contains(here);
        if (!saved && bookmarks.size() < BOOKMARKS) {
            bookmarks.addElement(here);
            saved = saveState();
            if (!saved) bookmarks.removeElement(here);
        }
        message(text(600), text(saved ? 603 : 605), saved);
    }

    private String excerpt(int pos) {
        StringBuffer b = new StringBuffer();
        for (int i = pos; i < textLength && b.length() < 24; i++) {
            char c = charAt(i);
            if (c == '\n' || c == '\r') c = ' ';
            if (!isLinkId(c) && (c != ' ' || b.length() > 0)) b.append(c);
        }
        return b.toString();
    }

    // The saved bookmarks: selecting one (or GoTo) turns to it, Delete
    // removes it from the list and the store.
    private void showBookmarks() {
        bookmarkList = new List(text(601), Choice.IMPLICIT);
        for (int i = 0; i < bookmarks.size(); i++) {
            int pos = ((Integer) bookmarks.elementAt(i)).intValue();
            bookmarkList.append(text(602) + " " + (i + 1) + ": " + excerpt(pos), null);
        }
        bookmarkList.addCommand(goToCommand);
        bookmarkList.addCommand(deleteCommand);
        bookmarkList.addCommand(cancelCommand);
        bookmarkList.setCommandListener(this);
        display.setCurrent(bookmarkList);
    }

    private void deleteBookmark() {
        int i = bookmarkList.getSelectedIndex();
        if (i < 0 || i >= bookmarks.size()) return;
        bookmarks.removeElementAt(i);
        saveState();
        showBookmarks();
        if (bookmarks.size() > 0) bookmarkList.setSelectedIndex(Math.min(i, bookmarks.size() - 1), true);
    }

    private ChoiceGroup choice(int label, int type, String[] items, int selected) {
        ChoiceGroup c = new ChoiceGroup(label < 0 ? null : text(label), type, items, null);
        if (selected >= 0 && selected < items.length) c.setSelectedIndex(selected, true);
        return c;
    }

    private void showDisplayForm() {
        displayForm = new Form(text(200));
        displayForm.append(choice(201, Choice.MULTIPLE, new String[] {text(201)}, portrait ? -1 : 0));
        displayForm.append(choice(202, Choice.MULTIPLE, new String[] {text(202)}, wordWrap ? 0 : -1));
        displayForm.append(choice(203, Choice.EXCLUSIVE, new String[] {text(204), text(205), text(206)},
                                  Math.max(-1, Math.min(1, lineSpacing)) + 1));
        displayForm.append(choice(207, Choice.EXCLUSIVE, new String[] {text(208), text(209), text(210)},
                                  Math.max(-1, Math.min(1, charSpacing)) + 1));
        String[] types = new String[fontTypes()];
        for (int i = 0; i < types.length; i++) types[i] = String.valueOf(i);
        displayForm.append(choice(211, Choice.EXCLUSIVE, types, fontType));
        String[] maps = new String[schemes.length / 3];
        for (int i = 0; i < maps.length; i++) maps[i] = String.valueOf(i + 1);
        displayForm.append(choice(212, Choice.EXCLUSIVE, maps, scheme));
        displayForm.append(choice(213, Choice.MULTIPLE, new String[] {text(213)}, smoothScroll > 0 ? 0 : -1));
        displayForm.addCommand(okCommand);
        displayForm.addCommand(cancelCommand);
        displayForm.setCommandListener(this);
        display.setCurrent(displayForm);
    }

    private void applyDisplayForm() {
        boolean[] one = new boolean[1];
        ((ChoiceGroup) displayForm.get(0)).getSelectedFlags(one);
        boolean wantPortrait = !one[0];
        ((ChoiceGroup) displayForm.get(1)).getSelectedFlags(one);
        wordWrap = one[0];
        lineSpacing = ((ChoiceGroup) displayForm.get(2)).getSelectedIndex() - 1;
        charSpacing = ((ChoiceGroup) displayForm.get(3)).getSelectedIndex() - 1;
        scheme = Math.max(0, ((ChoiceGroup) displayForm.get(5)).getSelectedIndex());
        selectFont(((ChoiceGroup) displayForm.get(4)).getSelectedIndex());
        ((ChoiceGroup) displayForm.get(6)).getSelectedFlags(one);
        smoothScroll = one[0] ? smoothLevel : 0;
        // Turned text needs a font the reader draws itself, or MIDP 2.0.
        portrait = wantPortrait || (!font.turns() && !midp2);
    }

    // A form with Cancel, and Ok when it changes something.
    private Form form(int title, boolean ok) {
        Form f = new Form(text(title));
        if (ok) f.addCommand(okCommand);
        f.addCommand(cancelCommand);
        f.setCommandListener(this);
        display.setCurrent(f);
        return f;
    }

    private void showInfo(int title, String body) {
        form(title, false).append(body);
    }

    // The keys as they work on this phone, one line each: the key names
    // (one interface text) and what they do (another).
    private String help() {
        StringBuffer b = new StringBuffer();
        if (fullScreen) {
            helpLine(b, 727, 702); // *, Dial, Left softkey: Menu
            helpLine(b, 729, 730); // Select
            helpLine(b, 731, 732); // Right softkey
        } else {
            helpLine(b, 728, 702); // *, Dial: Menu
            helpLine(b, 729, 730); // Select
            helpLine(b, 733, 734); // the soft keys hold the commands
        }
        helpLine(b, 735, 736); // Clear: Back
        for (int i = 703; i < 723; i += 2) helpLine(b, i, i + 1); // 1 to 9 and 0
        helpLine(b, 737, 724); // #, Down: Next page
        helpLine(b, 738, 726); // Up: Previous page
        helpLine(b, 739, 740); // Right, Left: links, then pages
        return b.toString();
    }

    private void helpLine(StringBuffer b, int keys, int does) {
        b.append(label(keys)).append(text(does)).append('\n');
    }

    // An interface text that stands before a value, ending in a blank even
    // when the configuration reader trimmed it away.
    private String label(int index) {
        String t = text(index);
        return t.length() == 0 || t.charAt(t.length() - 1) == ' ' ? t : t + " ";
    }

    private StringItem item(int label, String value) {
        return new StringItem(label(label), value);
    }

    private static String two(int n) {
        return n < 10 ? "0" + n : String.valueOf(n);
    }

    // A duration as hours:minutes:seconds.
    private static String duration(long ms) {
        long s = ms / 1000;
        return s / 3600 + ":" + two((int) (s / 60 % 60)) + ":" + two((int) (s % 60));
    }

    private void showDateTime() {
        Calendar now = Calendar.getInstance();
        now.setTime(new Date());
        Form f = form(1000, false);
        f.append(item(1001, now.get(Calendar.YEAR) + "-" + two(now.get(Calendar.MONTH) + 1) + "-"
                                + two(now.get(Calendar.DAY_OF_MONTH))));
        f.append(item(1002, two(now.get(Calendar.HOUR_OF_DAY)) + ":" + two(now.get(Calendar.MINUTE))));
        f.append(item(1003, duration(totalReadingTime())));
        f.append(item(1004, openCount + " " + text(1005)));
    }

    // Book details and statistics. The size is that of the book's text
    // files (two bytes a character); the part read runs to the end of the
    // page on screen.
    private void showBookInfo() {
        int read = (int) ((long) (laidOut ? next : top) * 100 / textLength);
        long perSecond = paintedLetters * 1000 / Math.max(1, paintTime);
        Form f = form(800, false);
        f.append(item(801, text(813)));
        f.append(item(808, text(814)));
        f.append(item(802, label(803) + 2L * textLength + " " + label(804) + read + text(805) + " "
                               + duration(totalReadingTime()) + label(806) + openCount + " " + text(807)));
        f.append(item(815, label(809) + maxPaint + " " + label(810) + maxLetters + label(811) + perSecond + " "
                               + text(812)));
    }

    // --- Backlight (Nokia UI API only) ----------------------------------------

    private boolean nokiaLights;
    private Form backlightForm;

    private void showBacklightForm() {
        backlightForm = form(100, nokiaLights);
        if (!nokiaLights) {
            backlightForm.append(text(109));
            return;
        }
        backlightForm.append(choice(101, Choice.EXCLUSIVE,
                                    new String[] {text(102), text(103), text(104), text(105), text(106), text(107)},
                                    light < 0 ? 2 : light));
        backlightForm.append(new TextField(text(108), String.valueOf(brightness), 3, TextField.NUMERIC));
    }

    private void applyBacklightForm() {
        light = ((ChoiceGroup) backlightForm.get(0)).getSelectedIndex();
        brightness = Math.max(1, Math.min(100, number(((TextField) backlightForm.get(1)).getString(), brightness)));
        saveState();
        lightUp();
    }

    // Sets the lights as the backlight choice says, at start, after the form
    // and on every key (a phone may change them itself on a key press); a
    // timed choice turns them off when its time is up.
    private void lightUp() {
        if (!nokiaLights || light < 0) return;
        TBookN1Canvas.lights(light == 0 ? 0 : brightness);
        if (light >= 2) setTimer(LIGHTS_OFF, System.currentTimeMillis() + (light - 1) * 10000L);
        else setTimer(LIGHTS_OFF, 0);
    }

    // --- Autoscroll: while on, the text moves up one line every autoDelay
    // seconds (sliding when smooth scrolling is on) and stops by itself when
    // the last line is on the screen.
    private boolean autoscroll;
    private Form autoscrollForm;

    private void showAutoscrollForm() {
        autoscrollForm = form(400, true);
        autoscrollForm.append(choice(-1, Choice.MULTIPLE, new String[] {text(401)}, autoscroll ? 0 : -1));
        autoscrollForm.append(new TextField(text(402), String.valueOf(autoDelay), 2, TextField.NUMERIC));
    }

    private void applyAutoscrollForm() {
        boolean[] on = new boolean[1];
        ((ChoiceGroup) autoscrollForm.get(0)).getSelectedFlags(on);
        autoDelay = Math.max(1, Math.min(99, number(((TextField) autoscrollForm.get(1)).getString(), autoDelay)));
        saveState();
        autoscroll = on[0];
        setTimer(FIRED_AUTO, autoscroll ? System.currentTimeMillis() + autoDelay * 1000L : 0);
    }

    private void stopAutoscroll() {
        autoscroll = false;
        setTimer(FIRED_AUTO, 0);
    }

    // One autoscroll step, on the event thread. While a menu or form covers
    // the text, the step waits.
    private void autoStep() {
        if (!autoscroll) return;
        if (mode == READ && display.getCurrent() == canvas && screenWidth > 0) {
            if (!laidOut) layout();
            if (next >= textLength) {
                stopAutoscroll();
                return;
            }
            turnTo(lineCount > 1 ? lineStart[1] : next);
            refresh();
        }
        setTimer(FIRED_AUTO, System.currentTimeMillis() + autoDelay * 1000L);
    }

    // The number in a numeric field, or the fallback when there is none.
    // The number typed into a field, or the fallback when it holds none.
    private static int number(String typed, int fallback) {
        try {
            return Integer.parseInt(typed.trim());
        } catch (RuntimeException e) {
            return fallback;
        }
    }

    // --- Search ----------------------------------------------------------------

    private Form searchForm;
    private TextBox positionBox;
    private String query = "";
    private boolean matchCase;
    private char[] pattern; // the query as the text is compared with it
    // A long search runs in stretches, one event each, with its progress on
    // a form whose Cancel stops it: searchAt is where it goes on, -1 when
    // no search runs.
    private static final int STRETCH = 16384;
    private int searchFrom;
    private int searchAt = -1;
    private Form progressForm;
    private Gauge progress;
    // The word found last, marked on its page until the page moves.
    private int markStart = -1;
    private int lastMatch = -1; // where the query was found last, -1 before
    private int markEnd = -1;

    private void showSearch() {
        searchForm = new Form(text(500));
        searchForm.append(new TextField(text(501), query, 64, TextField.ANY));
        searchForm.append(new ChoiceGroup(text(502), Choice.MULTIPLE, new String[] {text(503), text(504)}, null));
        if (matchCase) ((ChoiceGroup) searchForm.get(1)).setSelectedIndex(1, true);
        searchForm.addCommand(okCommand);
        searchForm.addCommand(cancelCommand);
        searchForm.setCommandListener(this);
        display.setCurrent(searchForm);
    }

    // Small letters for a search that ignores case, from the reader's own
    // table: CLDC 1.0's Character.toLowerCase knows Latin-1 only. Each range
    // is three characters: the first and last capital, and what to add to
    // reach the small letter, or PAIRS where capital and small letter
    // alternate from the first. The final sigma counts as a sigma.
    private static final char PAIRS = '\uffff';
    private static final String CASES = "AZ\u0020\u00c0\u00d6\u0020\u00d8\u00de\u0020" // ASCII, Latin-1
        + "\u0100\u012f\uffff\u0130\u0130\uff39\u0132\u0137\uffff\u0139\u0148\uffff\u014a\u0177\uffff"
        + "\u0178\u0178\uff87\u0179\u017e\uffff" // Latin Extended-A
        + "\u01cd\u01dc\uffff\u01de\u01ef\uffff\u01f8\u021f\uffff\u0222\u0233\uffff" // Latin Extended-B
        + "\u0386\u0386\u0026\u0388\u038a\u0025\u038c\u038c\u0040\u038e\u038f\u003f" // Greek
        + "\u0391\u03a1\u0020\u03a3\u03ab\u0020\u03c2\u03c2\u0001"
        + "\u0400\u040f\u0050\u0410\u042f\u0020\u0460\u0481\uffff\u048a\u04bf\uffff" // Cyrillic
        + "\u04c1\u04ce\uffff\u04d0\u052f\uffff"
        + "\u1e00\u1e95\uffff\u1ea0\u1eff\uffff"; // Latin Extended Additional

    static char lower(char c) {
        if (c < 'A') return c;
        int lo = 0;
        int hi = CASES.length() / 3 - 1;
        while (lo <= hi) {
            int mid = (lo + hi) >>> 1;
            int at = mid * 3;
            if (c < CASES.charAt(at)) {
                hi = mid - 1;
            } else if (c > CASES.charAt(at + 1)) {
                lo = mid + 1;
            } else {
                char add = CASES.charAt(at + 2);
                if (add != PAIRS) return (char) (c + add);
                return ((c - CASES.charAt(at)) & 1) == 0 ? (char) (c + 1) : c;
            }
        }
        return c;
    }

    private char fold(char c) {
        return matchCase ? c : lower(c);
    }

    // Looks for the query from pos on. A match within the first stretch
    // shows at once; a longer search goes on stretch by stretch.
    private void search(int pos) {
        endSearch();
        if (query.length() == 0) {
            showText();
            return;
        }
        pattern = new char[query.length()];
        for (int k = 0; k < pattern.length; k++) pattern[k] = fold(query.charAt(k));
        searchFrom = searchAt = Math.max(0, pos);
        searchStep();
    }

    // One stretch of the search, on the event thread.
    private void searchStep() {
        if (searchAt < 0) return;
        int end = Math.min(textLength, searchAt + STRETCH);
        for (int i = searchAt; i < end; i++) {
            int matchEnd = matchAt(i);
            if (matchEnd >= 0) {
                endSearch();
                showMatch(i, matchEnd);
                return;
            }
        }
        if (end >= textLength) {
            endSearch();
            message(text(500), text(507), true);
            return;
        }
        searchAt = end;
        if (progressForm == null) {
            progressForm = new Form(text(500));
            progress = new Gauge(label(505) + query, false, 100, 0);
            progressForm.append(progress);
            progressForm.addCommand(cancelCommand);
            progressForm.setCommandListener(this);
        }
        progress.setValue((int) ((long) (searchAt - searchFrom) * 100 / Math.max(1, textLength - searchFrom)));
        if (display.getCurrent() != progressForm) display.setCurrent(progressForm);
        later(FIRED_SEARCH);
    }

    // No search runs; its progress form goes.
    private void endSearch() {
        searchAt = -1;
        progressForm = null;
        progress = null;
    }

    // Where the match of the query that starts at i ends, -1 for none. Link
    // id characters inside the text are skipped, so a linked word is found too.
    private int matchAt(int i) {
        if (fold(charAt(i)) != pattern[0]) return -1;
        int j = i + 1;
        for (int k = 1; k < pattern.length;) {
            if (j >= textLength) return -1;
            char c = charAt(j++);
            if (isLinkId(c)) continue;
            if (fold(c) != pattern[k]) return -1;
            k++;
        }
        return j;
    }

    // Shows the match from start to end marked: on the page on screen when
    // it is there, else on a page that begins with the match's line.
    private void showMatch(int start, int end) {
        if (!laidOut || start < top || end > next) jump(lineStartAt(start));
        markStart = lastMatch = start;
        markEnd = end;
        showText();
    }

    private void askPassword() {
        display.setCurrent(newPasswordForm());
    }

    // A fresh form each time: after a wrong code its field is empty and has
    // the focus on every phone, which a field emptied in place has not.
    private Form newPasswordForm() {
        passwordForm = new Form(text(1300));
        passwordForm.append(new TextField(text(1301), "", 10, TextField.NUMERIC | TextField.PASSWORD));
        passwordForm.addCommand(okCommand);
        passwordForm.addCommand(exitCommand);
        passwordForm.setCommandListener(this);
        return passwordForm;
    }

    private void checkPassword() {
        TextField field = (TextField) passwordForm.get(0);
        int code = number(field.getString(), -1);
        if (code >= 0 && checkOf(code) == checkValue) {
            mask = code & 0xffff;
            unlocked = true;
            pieceIndex[0] = pieceIndex[1] = -1;
            saveState();
            showText();
        } else {
            message(text(1300), text(1303), true, newPasswordForm());
        }
    }

    public void commandAction(Command c, Displayable d) {
        lightUp();
        if (c == exitCommand || (exitCommand == null && c.getCommandType() == Command.EXIT)) {
            exit();
        } else if (d == passwordForm) {
            checkPassword();
        } else if (c == menuCommand) {
            showMenu();
        } else if (c == linkCommand) {
            followActiveLink();
        } else if (c == backCommand) {
            back();
        } else if (d == progressForm) {
            // Cancel: the search stops where it was, the page stays.
            endSearch();
            message(text(500), text(506), true);
        } else if (d == displayForm && c == okCommand) {
            applyDisplayForm();
            showText();
        } else if (d == backlightForm && c == okCommand) {
            applyBacklightForm();
            showText();
        } else if (d == autoscrollForm && c == okCommand) {
            applyAutoscrollForm();
            showText();
        } else if (c == cancelCommand) {
            showText();
        } else if (c == deleteCommand) {
            deleteBookmark();
        } else if (d == menu) {
            int i = menu.getSelectedIndex();
            if (menuBack && i == 11) back();
            else menuItem(menuBack && i == 12 ? 11 : i);
        } else if (d == navigator) {
            int item = navigator.getSelectedIndex();
            if (item == 0) jump(contents());
            else if (item == 1) jump(0);
            else if (item == 2) jump(previousPage(textLength));
            else if (item == 3) {
                positionBox = new TextBox(text(305), "", 3, TextField.NUMERIC);
                positionBox.addCommand(okCommand);
                positionBox.addCommand(cancelCommand);
                positionBox.setCommandListener(this);
                display.setCurrent(positionBox);
                return;
            } else {
                showText();
                String target = text(307);
                if (target.length() > 0) request(target, text(306));
                return;
            }
            showText();
        } else if (d == positionBox) {
            int percent = number(positionBox.getString(), Integer.MIN_VALUE);
            if (percent != Integer.MIN_VALUE) { // no number: stay
                percent = Math.max(0, Math.min(100, percent));
                // The page begins with the line that holds the place.
                jump(percent >= 100 ? previousPage(textLength) : lineStartAt((int) ((long) textLength * percent / 100)));
            }
            showText();
        } else if (d == searchForm) {
            query = ((TextField) searchForm.get(0)).getString();
            boolean[] options = new boolean[2];
            ((ChoiceGroup) searchForm.get(1)).getSelectedFlags(options);
            matchCase = options[1];
            lastMatch = -1;
            search(options[0] ? 0 : top);
        } else if (d == bookmarkList) {
            int i = bookmarkList.getSelectedIndex();
            if (i >= 0) jump(((Integer) bookmarks.elementAt(i)).intValue());
            showText();
        }
    }
}
