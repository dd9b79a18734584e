#pragma once

// Plays twenty-one against the dealer on the console, hand after hand, until
// the player declines another hand, an answer is not a number or is beyond
// int's range, or the input gives out.
void GamePlay();
