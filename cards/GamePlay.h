#pragma once

// Plays twenty-one against the dealer on the console, hand after hand, until
// the player declines another hand or the input gives out.
void GamePlay();

// Where the game's random sequence starts.  The program takes the clock
// (twentyone.cpp), so every run deals other cards; a test build of the game
// gives a fixed number, so the cards it deals are known in advance.
unsigned int gameSeed();
