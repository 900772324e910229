#pragma once

// Registers the updater's pictures under ":/imgs/imgs/". The resource library is
// static, so without this call the linker would leave the data out.
void initVantorelResources();
