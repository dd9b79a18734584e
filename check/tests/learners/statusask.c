/* A learner's statusask in C.  scanf skips blank lines as >> does; a code
   beyond int's range is held to its nearest limit, and a text that is no
   number is 0, as the C++ extraction has them. */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    long long code = 1;
    char word[64];

    printf("Input Machine State (1-5):");
    fflush(stdout);
    int read = scanf("%63s", word);
    printf("\n");
    if (read == 1) {
        char* end;
        code = strtoll(word, &end, 10);
        if (end == word) {
            code = 0;
        } else if (code > INT_MAX) {
            code = INT_MAX;
        } else if (code < INT_MIN) {
            code = INT_MIN;
        }
    }
    printf("Machine State: ");
    switch (code) {
    case 1:
        printf("Job Running\n");
        break;
    case 2:
        printf("Waiting for next Job\n");
        break;
    case 3:
        printf("Job Timeout - ");
        /* falls through */
    case 4:
    case 5:
        printf("Malfunctioning\n");
        break;
    default:
        printf("Unknown State\n");
    }
    return 0;
}
