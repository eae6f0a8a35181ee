// The bubble and spike fields: creation, motion, recycling and the reset of a round.
#pragma once

void createBubbles(int count);
void assignSpecialBubbles();
void createSpikes(int count);
void moveBubbles(float distance);
void moveSpikes(float distance);
void resetRound();
