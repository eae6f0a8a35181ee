#pragma once

// The eight named materials, in order; the four fixed sprites receive theirs. Start-up makes them
// (with their pictures once there is a window), and so does a replay's check (without), before
// the fields are built on them.
void createMaterials();
