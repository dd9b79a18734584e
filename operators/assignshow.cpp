// Prints compound assignments and prefix and postfix increments beside the
// values they leave, so the two forms can be told apart.
#include <iostream>

int main() {
    int x = 1, y = 2, z = 4;
    double h = 5.3, g = 6.7;

    std::cout << "int x = 1 , y = 2, z = 4;" << std::endl;
    std::cout << "double h = 5.3, g = 6.7;" << std::endl;

    x += 2;
    std::cout << "x += 2; "
              << "x = " << x << std::endl;

    x -= 4;
    std::cout << "x -= 4; "
              << "x = " << x << std::endl;

    h *= g;
    std::cout << "h *= g; "
              << "h = " << h << std::endl;

    // Each operation is a statement of its own between two outputs, so the
    // line shows the value before it and the value after it.
    std::cout << "x = " << x << " x++; "
              << "x = ";
    x++;
    std::cout << x << std::endl;

    std::cout << "y = " << y << " --y; "
              << "y = ";
    --y;
    std::cout << y << std::endl;

    // Postfix: x++ gives x's old value, which z receives; x goes up by one.
    std::cout << "x = " << x << " z = x++;";
    z = x++;
    std::cout << " z = " << z << " x = " << x << std::endl;

    // Prefix: --y gives y's new value, which z receives.
    std::cout << "y = " << y << " z = --y;";
    z = --y;
    std::cout << " z = " << z << " y = " << y << std::endl;

    std::cout << "y = " << y << " z = y--;";
    z = y--;
    std::cout << " z = " << z << " y = " << y << std::endl;
    return 0;
}
