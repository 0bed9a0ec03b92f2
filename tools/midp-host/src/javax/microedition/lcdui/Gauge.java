package javax.microedition.lcdui;

/** Host implementation. */
public class Gauge extends Item {
    int value;
    int max;
    boolean interactive;

    public Gauge(String label, boolean interactive, int maxValue, int initialValue) {
        this.label = label;
        this.interactive = interactive;
        this.max = maxValue;
        this.value = initialValue;
    }

    public void setValue(int value) {
        this.value = Math.max(0, Math.min(max, value));
    }

    public int getValue() {
        return value;
    }

    public void setMaxValue(int maxValue) {
        max = maxValue;
    }

    public int getMaxValue() {
        return max;
    }

    public boolean isInteractive() {
        return interactive;
    }

    String show() {
        return (label == null ? "" : label + " ") + value + "/" + max;
    }
}
