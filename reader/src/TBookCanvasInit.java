// Chooses the best canvas the phone offers.
public class TBookCanvasInit {
}
