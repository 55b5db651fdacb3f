#!/usr/bin/env python3
"""Writes the demo game's music and sound effects into data/demo (or the folder given).

    theme.wav   12.8 s  the tune that loops under the whole demo: eight bars
                        at 150 beats a minute, a plucked melody over a bass
    chime.wav   0.9 s   two bell strokes, rising; the game waits for it
    pop.wav     0.12 s  a short falling blip, one for each count

All three are 8-bit mono WAV files at 11025 samples a second, computed from
fixed notes and shapes, so the same script always writes the same files. The
tune ends in silence on its last beat so that it loops without a seam.
Standard library only.

    data/demo/make_sounds.py [FOLDER]
"""
import math
import pathlib
import sys
import wave

RATE = 11025
NYQUIST = RATE / 2

# ------------------------------------------------------------------- output


def write_wav(path, samples):
    """Writes samples in -1..1 as 8-bit unsigned mono PCM."""
    data = bytes(max(0, min(255, int(round(128 + 127 * s)))) for s in samples)
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(1)
        out.setframerate(RATE)
        out.writeframes(data)


# ------------------------------------------------------------------- voices


NOTE_NAMES = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}


def frequency(note):
    """"A4" is 440 Hz; "C6", "G2" and so on in equal temperament."""
    semitones = NOTE_NAMES[note[0]] + 12 * (int(note[1:]) - 4)
    return 440.0 * 2.0 ** (semitones / 12.0)


def add_tone(buffer, start, length, freq, partials, decay, volume):
    """Adds a struck tone: `partials` are (frequency ratio, level) pairs, each
    decaying exponentially with time constant `decay` over its ratio; the
    attack and the last 20 ms are ramps, so notes start and stop without a click."""
    attack = int(0.008 * RATE)
    release = int(0.020 * RATE)
    for i in range(min(length, len(buffer) - start)):
        t = i / RATE
        envelope = min(1.0, i / attack) * min(1.0, (length - i) / release)
        value = 0.0
        for ratio, level in partials:
            f = freq * ratio
            if f < NYQUIST * 0.9:
                value += level * math.exp(-t * ratio / decay) * math.sin(2 * math.pi * f * t)
        buffer[start + i] += volume * envelope * value


# -------------------------------------------------------------------- music

BEAT = 60.0 / 150
EIGHTH = BEAT / 2

# One entry an eighth: a note starts, "-" holds the one before, "." is silence.
MELODY = """
E5 .  G5 A5 G5 .  E5 D5 | C5 -  D5 E5 G5 -  -  .
A5 .  G5 E5 D5 .  C5 D5 | E5 -  -  -  .  .  .  .
G5 .  A5 C6 A5 .  G5 E5 | D5 -  E5 G5 A5 -  -  .
G5 E5 D5 C5 D5 .  E5 D5 | C5 -  -  -  .  .  .  .
"""

# One entry a beat.
BASS = """
C3 G3 C4 G3 | A2 E3 A3 E3 | F2 C3 F3 C3 | G2 D3 G3 D3
C3 G3 C4 G3 | A2 E3 A3 E3 | F2 C3 G2 D3 | C3 G3 C3 .
"""

PLUCK = [(1.0, 1.0), (2.0, 0.35), (3.0, 0.15), (4.0, 0.06)]
BASS_TONE = [(1.0, 1.0), (2.0, 0.25), (3.0, 0.08)]


def notes(score, step):
    """(start, length, note) in samples from a score of `step`-second entries."""
    entries = [e for e in score.split() if e != "|"]
    result = []
    for index, entry in enumerate(entries):
        if entry in ("-", "."):
            continue
        held = 1
        while index + held < len(entries) and entries[index + held] == "-":
            held += 1
        result.append((int(index * step * RATE), int(held * step * RATE), entry))
    return result, int(len(entries) * step * RATE)


def theme():
    melody, length = notes(MELODY, EIGHTH)
    bass, _ = notes(BASS, BEAT)
    buffer = [0.0] * length
    for start, size, note in melody:
        add_tone(buffer, start, size, frequency(note), PLUCK, 0.45, 0.42)
    for start, size, note in bass:
        add_tone(buffer, start, size, frequency(note), BASS_TONE, 0.6, 0.36)
    return buffer


# ------------------------------------------------------------ sound effects

BELL = [(1.0, 1.0), (2.76, 0.45), (5.4, 0.2)]


def chime():
    buffer = [0.0] * int(0.9 * RATE)
    for start, note in [(0.0, "G5"), (0.15, "D6")]:
        begin = int(start * RATE)
        add_tone(buffer, begin, len(buffer) - begin, frequency(note), BELL, 0.3, 0.45)
    return buffer


def pop():
    length = int(0.12 * RATE)
    samples = []
    phase = 0.0
    for i in range(length):
        t = i / length
        phase += 2 * math.pi * (900.0 - 450.0 * t) / RATE
        envelope = min(1.0, i / 40) * (1.0 - t) ** 2
        samples.append(0.7 * envelope * math.sin(phase))
    return samples


def main():
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent
    for name, make in [("theme.wav", theme), ("chime.wav", chime), ("pop.wav", pop)]:
        write_wav(folder / name, make())


if __name__ == "__main__":
    main()
