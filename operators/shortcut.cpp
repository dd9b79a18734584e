// Runs three conditions whose operands increment x and y, and prints both
// variables afterwards: an increment shows only where its operand was
// evaluated, which || and && skip once the left side decides.
#include <iostream>

void printInside(int x, int y) {
    std::cout << "Inside IF: x = " << x << "\ty = " << y << std::endl;
}

void printOutside(int x, int y) {
    std::cout << "Outside IF: x = " << x << "\ty = " << y << std::endl;
}

int main() {
    int x = 0;
    int y = 0;

    // The left side is true, which decides ||: y++ never runs.
    x = 1;
    y = 2;
    std::cout << "x = 1; y = 2; " << std::endl;
    std::cout << "if(x++ == 1 || y++ != 2){" << std::endl;
    if (x++ == 1 || y++ != 2) {
        printInside(x, y);
    }
    printOutside(x, y);

    // The left side is true, which leaves && undecided: y++ runs.
    x = 1;
    y = 2;
    std::cout << "x = 1; y = 2; " << std::endl;
    std::cout << "if(x++ == 1 && y++ != 2){" << std::endl;
    if (x++ == 1 && y++ != 2) {
        printInside(x, y);
    }
    printOutside(x, y);

    // The left side is false, which decides &&: y++ never runs.
    x = 1;
    y = 2;
    std::cout << "x = 1; y = 2; " << std::endl;
    std::cout << "if(x++ != 1 && y++ != 2){" << std::endl;
    if (x++ != 1 && y++ != 2) {
        printInside(x, y);
    }
    printOutside(x, y);
    return 0;
}
