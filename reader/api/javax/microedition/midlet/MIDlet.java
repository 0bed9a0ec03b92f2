// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.midlet;

public abstract class MIDlet {
    protected MIDlet() {}
    protected abstract void startApp() throws MIDletStateChangeException;
    protected abstract void pauseApp();
    protected abstract void destroyApp(boolean unconditional) throws MIDletStateChangeException;
    public final native void notifyDestroyed();
    public final native void notifyPaused();
    public final native String getAppProperty(String key);
    public final native void resumeRequest();

    // MIDP 2.0 only: call it from a class that is loaded only after a
    // run-time check found MIDP 2.0 (the class checker enforces this).
    public final native boolean platformRequest(String URL)
        throws javax.microedition.io.ConnectionNotFoundException;
}
