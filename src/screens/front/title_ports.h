// What the title scene uses of sound, movies, the script engine, the play record and the window,
// gathered in one table so that unit tests can watch and steer it. The defaults call the real
// services (installed by GetTitlePorts on first use; ResetTitlePorts restores them).
#pragma once
#include <cstdint>
#include <functional>

struct TitlePorts {
  // A movie (program path) full screen, no loop, closed when it ends; false when it cannot open.
  std::function<bool(const char* path)> playFullScreenMovie;
  std::function<bool()> allMoviesFinished;
  std::function<void()> closeAllMovies;
  std::function<void(int32_t volume)> setMovieVolume;
  // The configured volume of music channel 0 (0..10000).
  std::function<int32_t()> musicVolume;
  // Music channel 0: play looping with a fade speed; stop at once.
  std::function<void(const char* file, int fadeSpeed)> playMusic;
  std::function<void()> stopMusic;
  // The story script set reloaded from its start; false when it failed.
  std::function<bool()> loadStoryScripts;
  std::function<void(int32_t value)> setSwitch0;
  // The play record's start counter (how many times the game was started, this run included).
  std::function<uint32_t()> startCounter;
  std::function<bool()> windowActive;
  // Ends the program through the normal shutdown.
  std::function<void()> requestQuit;
};

TitlePorts& GetTitlePorts();
void ResetTitlePorts();
