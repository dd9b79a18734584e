#pragma once

#include <iostream>
#include <sstream>
#include <string>

// For as long as it lives, std::cin reads the given text and whatever is
// written to std::cout is collected, so code that talks to the console can
// be tested as it is.
class ConsoleCapture {
public:
    explicit ConsoleCapture(const std::string& input = "")
        : input_(input),
          oldIn_(std::cin.rdbuf(input_.rdbuf())),
          oldOut_(std::cout.rdbuf(output_.rdbuf())) {
        std::cin.clear();
    }
    ~ConsoleCapture() {
        std::cin.rdbuf(oldIn_);
        std::cout.rdbuf(oldOut_);
        std::cin.clear();
    }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string output() const { return output_.str(); }

private:
    std::istringstream input_;
    std::ostringstream output_;
    std::streambuf* oldIn_;
    std::streambuf* oldOut_;
};
