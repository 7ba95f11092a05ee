# Opens a virtual MIDI output with mido over the rtmidi API named second (JACK or ALSA), says
# "ready", and on each line of standard input sends the named burst, one message per call; "quit"
# ends it.
import sys

import mido

mido.set_backend(sys.argv[2])
out = mido.open_output(sys.argv[1], virtual=True)


def quarter_frames(h, m, s, f, rate_bits):
    values = [f & 0x0F, f >> 4, s & 0x0F, s >> 4, m & 0x0F, m >> 4, h & 0x0F, (rate_bits << 1) | (h >> 4)]
    return [mido.Message("quarter_frame", frame_type=t, frame_value=v) for t, v in enumerate(values)]


bursts = {
    # Sent until one arrives: a fresh connection can drop what comes before it is live.
    "probe": [mido.Message("note_off", channel=15, note=0, velocity=0)],
    "messages": [
        mido.Message("note_on", channel=0, note=60, velocity=100),
        mido.Message("control_change", channel=0, control=7, value=127),
        mido.Message("program_change", channel=5, program=7),
        mido.Message("sysex", data=[0x7E, 0x7F, 0x06, 0x01]),
        mido.Message("note_off", channel=0, note=60, velocity=0),
    ],
    # 01:02:03:04 at 30 fps, then the next cycle's piece 0.
    "mtc": quarter_frames(1, 2, 3, 4, 3) + [mido.Message("quarter_frame", frame_type=0, frame_value=6)],
}

print("ready", flush=True)
for line in sys.stdin:
    name = line.strip()
    if name == "quit":
        break
    for message in bursts.get(name, []):
        out.send(message)
    print("sent", flush=True)
out.close()
