package javax.microedition.lcdui;

/** Host implementation. */
public class List extends Screen implements Choice {
    public static final Command SELECT_COMMAND = new Command("", Command.SCREEN, 0);
    final ChoiceModel model;

    public List(String title, int type) {
        this(title, type, null, null);
    }

    public List(String title, int type, String[] stringElements, Image[] imageElements) {
        this.title = title;
        model = new ChoiceModel(type, stringElements);
    }

    public int size() {
        return model.strings.size();
    }

    public String getString(int elementNum) {
        return model.strings.get(elementNum);
    }

    public Image getImage(int elementNum) {
        return null;
    }

    public int append(String stringPart, Image imagePart) {
        return model.append(stringPart);
    }

    public void insert(int elementNum, String stringPart, Image imagePart) {
        model.insert(elementNum, stringPart);
    }

    public void delete(int elementNum) {
        model.delete(elementNum);
    }

    public void set(int elementNum, String stringPart, Image imagePart) {
        model.strings.set(elementNum, stringPart);
    }

    public boolean isSelected(int elementNum) {
        return model.selected.get(elementNum);
    }

    public int getSelectedIndex() {
        return model.selectedIndex();
    }

    public int getSelectedFlags(boolean[] selectedArray_return) {
        return model.flags(selectedArray_return);
    }

    public void setSelectedIndex(int elementNum, boolean selected) {
        model.select(elementNum, selected);
    }

    public void setSelectedFlags(boolean[] selectedArray) {
        model.setFlags(selectedArray);
    }

    java.util.List<String> lines() {
        java.util.List<String> out = new java.util.ArrayList<>();
        for (int k = 0; k < size(); k++) out.add(model.show(k));
        return out;
    }
}
