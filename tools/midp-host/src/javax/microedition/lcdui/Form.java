package javax.microedition.lcdui;

import java.util.ArrayList;

/** Host implementation. */
public class Form extends Screen {
    final ArrayList<Item> items = new ArrayList<>();
    ItemStateListener itemListener;

    public Form(String title) {
        this.title = title;
    }

    public Form(String title, Item[] items) {
        this(title);
        if (items != null)
            for (Item i : items) append(i);
    }

    public int append(Item item) {
        items.add(item);
        return items.size() - 1;
    }

    public int append(String str) {
        return append(new StringItem(null, str));
    }

    public int append(Image img) {
        return append(new ImageItem(null, img, ImageItem.LAYOUT_DEFAULT, null));
    }

    public void insert(int itemNum, Item item) {
        items.add(itemNum, item);
    }

    public void delete(int itemNum) {
        items.remove(itemNum);
    }

    public void set(int itemNum, Item item) {
        items.set(itemNum, item);
    }

    public Item get(int itemNum) {
        return items.get(itemNum);
    }

    public int size() {
        return items.size();
    }

    public void setItemStateListener(ItemStateListener iListener) {
        itemListener = iListener;
    }

    java.util.List<String> lines() {
        java.util.List<String> out = new java.util.ArrayList<>();
        for (Item i : items) out.add(i.show());
        return out;
    }
}
