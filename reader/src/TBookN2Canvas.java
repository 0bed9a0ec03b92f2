import javax.microedition.midlet.MIDlet;

// The MIDP 2.0 canvas: full screen, and the phone's own services for links;
// loaded only where MIDP 2.0 exists.
public class TBookN2Canvas extends TBookCanvas {
    public TBookN2Canvas() {
        setFullScreenMode(true);
    }

    // Hands an address (http, tel, sms, file) to the phone; false when it refuses.
    static boolean request(MIDlet midlet, String url) {
        try {
            midlet.platformRequest(url);
            return true;
        } catch (Throwable e) {
            return false;
        }
    }
}
