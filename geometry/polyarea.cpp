// Names two shapes and prints their areas, then the first shape's again.
// The class that asks, names and measures is in shape.h.
#include "shape.h"

int main() {
    shape S1;
    shape S2;

    S1.getInfo();
    S1.typeofshape();
    S1.area();

    S2.getInfo();
    S2.typeofshape();
    S2.area();

    S1.typeofshape();
    S1.area();
    return 0;
}
