// Prints arithmetic statements beside the value each one assigns: operator
// precedence, int meeting double, conversion to int and the remainder.
#include <iostream>

int main() {
    int y = 2, z = 4;
    double h = 5.3, g = 6.7;
    int integer_result = 0;
    double decimal_result = 0;

    // The x of the first line is part of the lesson's text only; nothing uses it.
    std::cout << "int x = 1 , y = 2, z = 4;" << std::endl;
    std::cout << "double h = 5.3, g = 6.7;" << std::endl;

    // The double result 14.6 loses its fraction on the way into an int.
    integer_result = h * y + z;
    std::cout << "integer_result = h * y + z;"
              << " = " << integer_result << std::endl;

    decimal_result = h * y + z;
    std::cout << "decimal_result = h * y + z;"
              << " = " << decimal_result << std::endl;

    // y + z is an int sum; only then does it meet the double h.
    integer_result = h * (y + z);
    std::cout << "integer_result = h * (y + z);"
              << " = " << integer_result << std::endl;

    // Stored just below 31.8; six significant digits round it back up.
    decimal_result = h * (y + z);
    std::cout << "decimal_result = h * (y + z);"
              << " = " << decimal_result << std::endl;

    // -3.35 truncates toward zero, to -3.
    integer_result = h * y / z + 2 - 8;
    std::cout << "integer_result = h * y / z + 2 - 8;"
              << " = " << integer_result << std::endl;

    integer_result = h * y / (z + 2) - 8;
    std::cout << "integer_result = h * y / (z + 2) - 8;"
              << " = " << integer_result << std::endl;

    integer_result = -h * y / ((z + 2) - 8);
    std::cout << "integer_result = -h * y / ((z + 2) - 8);"
              << " = " << integer_result << std::endl;

    // % takes integer operands only (std::fmod is the floating form), so both
    // doubles are converted first; the two casts convert alike, truncating.
    integer_result = static_cast<int>(h) % (int)g;
    std::cout << "integer_result = static_cast<int>(h) % (int)g;"
              << " = " << integer_result << std::endl;

    integer_result = z % y;
    std::cout << "integer_result = z % y;"
              << " = " << integer_result << std::endl;

    integer_result = y % z;
    std::cout << "integer_result = y % z;"
              << " = " << integer_result << std::endl;
    return 0;
}
