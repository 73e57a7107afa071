// GLErrors.h: the one place OpenGL's error state is read. Everything else leaves it alone (reading it
// stalls the pipeline and its flags are no part of the program's behaviour); the exception is a driver that
// could not hold what it was given: its error flag is the only way it says so, and the object would
// otherwise sample as black and pass for the picture. GUI thread, with the context of the call that may
// have failed current.
#pragma once

// Reads every error flag of the current context, which clears them (an older flag may stand before the
// one of the call just made, and each read answers one); throws std::bad_alloc when one of them was
// GL_OUT_OF_MEMORY. Other flags are dropped: they say nothing about memory.
void RaiseForGLOutOfMemory();
