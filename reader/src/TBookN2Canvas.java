// The MIDP 2.0 canvas: full screen; loaded only where MIDP 2.0 exists.
public class TBookN2Canvas extends TBookCanvas {
    public TBookN2Canvas() {
        setFullScreenMode(true);
    }
}
