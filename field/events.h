#pragma once

// Bubbletime, reversed controls, earthquake.
void startEvent();
void endEvent();
