/* A learner's heatprompt in C, written differently and still right.  A
   float that scanf cannot read is stored as 0 by the C++ extraction, so it
   is set to 0 here too; at the end of input it keeps its first value. */
#include <stdio.h>

int main(void) {
    float temperature = 100;

    printf("Enter Machine Temperature: ");
    if (scanf("%f", &temperature) == 0) {
        temperature = 0;
    }
    if (temperature <= 0) {
        printf("Machine State: Powered off?\n");
    } else if (temperature >= 212) {
        printf("Machine State: Overheating\n");
    } else {
        printf("Machine State: Operating Normally\n");
    }
    return 0;
}
