// How deep the fog lets the eye see before every fragment turns black.
#pragma once

// The eye depth (level units) beyond which the current fog and clear colour make every
// fragment black: infinity unless fog is on, black, and the clear colour black too.
float FogHidingDepth();
