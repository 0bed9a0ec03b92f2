// One entry of cfg.dat's link table: what a link id character of the text
// stands for. The kind letter comes first: l a jump to a text position (also
// table-of-contents entries), I an inline picture, i a picture link, h a web
// address, p a phone number, s an SMS, f a file, # a label that was not found.
public class TLinkItem {
    final char kind;
    final String target;
    // Text position of a jump, -1 for other kinds.
    final int position;

    TLinkItem(String entry) {
        kind = kindOf(entry);
        target = entry.length() > 0 ? entry.substring(1) : "";
        int p = -1;
        if (kind == 'l') {
            try {
                p = Integer.parseInt(target);
            } catch (RuntimeException e) {
                p = -1;
            }
        }
        position = p;
    }

    static char kindOf(String entry) {
        return entry.length() > 0 ? entry.charAt(0) : '#';
    }
}
