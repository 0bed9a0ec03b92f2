package javax.microedition.midlet;

/** Host implementation. */
public abstract class MIDlet {
    /** Attributes of the midlet's manifest and JAD. */
    public static java.util.Map<String, String> properties = new java.util.HashMap<>();
    /** Set when the midlet calls notifyDestroyed. */
    public static volatile boolean destroyed;
    /** The platform requests the midlet made (MIDP 2.0). */
    public static final java.util.List<String> requests = new java.util.ArrayList<>();

    protected MIDlet() {}

    protected abstract void startApp() throws MIDletStateChangeException;

    protected abstract void pauseApp();

    protected abstract void destroyApp(boolean unconditional) throws MIDletStateChangeException;

    public final void notifyDestroyed() {
        destroyed = true;
    }

    public final void notifyPaused() {}

    public final String getAppProperty(String key) {
        return properties.get(key);
    }

    public final void resumeRequest() {}

    /** MIDP 2.0: the host records the address and reports it. */
    public final boolean platformRequest(String url) {
        requests.add(url);
        System.out.println("platform request: " + url);
        return false;
    }

    /** Host entry points for the protected life-cycle methods. */
    public static void start(MIDlet m) throws MIDletStateChangeException {
        m.startApp();
    }

    public static void destroy(MIDlet m) throws MIDletStateChangeException {
        m.destroyApp(true);
    }
}
