// Movie sound into the software mixer: each movie gets a looping ring buffer that the frame thread
// writes ahead of the mixer's play cursor.
#pragma once
#include "movie/movie_ports.h"

namespace plat {
class Mixer;
}

// Sinks that play into `mixer` (which must outlive them).
MovieAudioSinkFactory MakeMixerMovieAudioSinkFactory(plat::Mixer& mixer);
