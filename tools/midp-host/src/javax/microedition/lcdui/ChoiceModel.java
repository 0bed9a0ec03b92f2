package javax.microedition.lcdui;

import java.util.ArrayList;

/** The elements and selection shared by List and ChoiceGroup. */
final class ChoiceModel {
    final int type;
    final ArrayList<String> strings = new ArrayList<>();
    final ArrayList<Boolean> selected = new ArrayList<>();

    ChoiceModel(int type, String[] elements) {
        this.type = type;
        if (elements != null)
            for (String s : elements) append(s);
    }

    int append(String s) {
        strings.add(s);
        selected.add(strings.size() == 1 && type != Choice.MULTIPLE);
        return strings.size() - 1;
    }

    void insert(int i, String s) {
        strings.add(i, s);
        selected.add(i, false);
    }

    void delete(int i) {
        strings.remove(i);
        selected.remove(i);
    }

    int selectedIndex() {
        if (type == Choice.MULTIPLE) return -1;
        return selected.indexOf(Boolean.TRUE);
    }

    void select(int i, boolean on) {
        if (type != Choice.MULTIPLE && on)
            for (int k = 0; k < selected.size(); k++) selected.set(k, false);
        selected.set(i, on);
    }

    int flags(boolean[] out) {
        int n = 0;
        for (int k = 0; k < selected.size(); k++) {
            out[k] = selected.get(k);
            if (out[k]) n++;
        }
        return n;
    }

    void setFlags(boolean[] in) {
        for (int k = 0; k < selected.size(); k++) selected.set(k, in[k]);
    }

    String show(int k) {
        String mark = type == Choice.IMPLICIT ? (selected.get(k) ? "> " : "  ")
            : type == Choice.MULTIPLE ? (selected.get(k) ? "[x] " : "[ ] ")
            : (selected.get(k) ? "(o) " : "( ) ");
        return mark + strings.get(k);
    }
}
