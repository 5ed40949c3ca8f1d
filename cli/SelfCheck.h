// "kadrimix-cli selfcheck": a quick check that the engine's building blocks
// work on this machine.
#pragma once

int RunSelfCheck();
