// Prints relational and logical expressions beside the truth value of each,
// evaluated as the program runs.
#include <iomanip>
#include <iostream>

// Every label is shorter than this, so the values line up in one column.
const int LABEL_WIDTH = 65;
const int VALUE_WIDTH = 5;

// A field width holds for the next item only, so it is set before each one.
// A bool prints as 1 or 0 unless std::boolalpha is set.
void printRow(const char* label, bool value) {
    std::cout << std::setw(LABEL_WIDTH) << label << std::setw(VALUE_WIDTH) << value << std::endl;
}

int main() {
    int x = 1;
    int y = 0;
    int z = 4;

    std::cout << "Conditional Operators: " << std::endl;
    std::cout << std::setw(LABEL_WIDTH) << "x = 1, y = 0, z = 4" << std::setw(20)
              << "1/0 or true/false" << std::endl;
    printRow("Less Than Operator: (4 < 3)", (4 < 3));
    printRow("Greater Than Operator: (x > y)", (x > y));
    printRow("Equals to Operator: (x == y)", (x == y));
    printRow("Not Equals to Operator: (x != y)", (x != y));
    printRow("Greater Than or Equal to: z >= 4", z >= 4);
    printRow("Less Than or Equal to:  z <= x*4", z <= x * 4);

    // The rows below show the logical operators &&, || and !, whatever this
    // heading says.
    std::cout << "Relational Operators" << std::endl;
    printRow("And Operator: (4 != 5 && 5 >  6)", (4 != 5 && 5 > 6));
    printRow("OR Operator: (4 != 5 || 5 >  6)", (4 != 5 || 5 > 6));
    printRow("NOT and OR Operator: (!(4 != 5) || 5 >  6)", (!(4 != 5) || 5 > 6));
    // The conjunction is false, yet the row is true: the right side of || decides.
    printRow("NOT, AND, and OR Operator: (((x > y) && (z > 4)) || !(x > 3))",
             (((x > y) && (z > 4)) || !(x > 3)));
    return 0;
}
