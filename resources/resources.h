#pragma once

// Registers the images and catalogues compiled into the tool (:/btn/images/...,
// :/logo/images/logo/..., :/language/language/...).
// They are linked from a static library, whose registration does not run by itself:
// call this once, before the first use, from main() and from every test that loads them.
// Calling it again is harmless.
void initResources();
