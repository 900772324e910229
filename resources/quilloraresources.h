#pragma once

// Registers the program's compiled pictures, guide pages and style sheets under
// ":/". The resource library is static, so without this call the linker would
// leave the data out. Call once before the first picture is loaded.
void initQuilloraResources();
