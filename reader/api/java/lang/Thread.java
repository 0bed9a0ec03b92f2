// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class Thread implements java.lang.Runnable {
    public Thread() {}
    public Thread(java.lang.Runnable a0) {}
    public static java.lang.Thread currentThread() { return null; }
    public static void yield() { }
    public static void sleep(long a0) throws java.lang.InterruptedException { }
    public void start() { }
    public void run() { }
    public final boolean isAlive() { return false; }
    public final void setPriority(int a0) { }
    public final int getPriority() { return 0; }
    public static int activeCount() { return 0; }
    public final void join() throws java.lang.InterruptedException { }
    public java.lang.String toString() { return null; }
    public static final int MIN_PRIORITY = 1;
    public static final int NORM_PRIORITY = 5;
    public static final int MAX_PRIORITY = 10;
}
