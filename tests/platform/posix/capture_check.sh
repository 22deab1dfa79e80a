#!/bin/bash
# capture_check.sh KERV16 RENDER WHAT -- the video capture end to end (run from a folder holding data/)
#   length:   ten seconds at scale 2: 1280 x 800, 600 frames, 10 s of video and of sound
#   fidelity: the first second in both modes, decoded and compared with the renderer's drawing of the
#             same demo times: lossless exactly, the default (4x, 4:2:0) above its measured floor
#   refusals: a folder that cannot take the file, ffmpeg missing, ffmpeg dying mid-way: one line naming
#             the file, a non-zero status, and no file left under the name asked for; a capture
#             interrupted keeps a playable video under the .part name
set -u
KERV16=$1 RENDER=$2 WHAT=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL ($WHAT): $*"; [ -f "$out/err.txt" ] && { echo "--- stderr:"; tail -5 "$out/err.txt"; }; exit 1; }

case $WHAT in
length)
    "$KERV16" --capture "$out/c.mp4" --scale 2 --until 10000 2> "$out/err.txt" || fail "the capture failed"
    ffprobe -v error -show_entries stream=codec_type,width,height,duration,nb_frames -of csv=p=0 "$out/c.mp4" \
        > "$out/probe.txt"
    cat "$out/probe.txt"
    grep -q '^video,1280,800,10.000000,600$' "$out/probe.txt" || fail "video stream"
    awk -F, '$1 == "audio" && $2 > 9.983 && $2 < 10.017 { found = 1 } END { exit !found }' "$out/probe.txt" ||
        fail "sound stream"
    [ ! -e "$out/c.part.mp4" ] || fail "the temporary file stayed"
    ;;
fidelity)
    "$KERV16" --capture "$out/d.mp4" --until 1000 2> "$out/err.txt" || fail "the default capture failed"
    # Measured here: 59.2 dB, 100.00 % (the capture of 640 x 400 before: 29.5 dB, 96.5 %); the floor
    # leaves room for other x264 builds.
    "$RENDER" --video "$out/d.mp4" --min-psnr 52 --min-within 99.9 || fail "the default capture lost the drawing"
    "$KERV16" --capture "$out/l.mkv" --lossless --until 1000 2> "$out/err.txt" || fail "the lossless capture failed"
    "$RENDER" --video "$out/l.mkv" --exact || fail "the lossless capture is not exact"
    ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$out/l.mkv" | grep -q '^audio$' ||
        fail "the lossless capture has no soundtrack"
    ;;
refusals)
    # A folder that does not exist: refused before the show is drawn.
    ! "$KERV16" --capture "$out/none/v.mp4" --until 500 2> "$out/err.txt" || fail "no folder, yet success"
    grep -q "cannot write $out/none/v.mp4: No such file or directory" "$out/err.txt" || fail "no folder: message"
    # No ffmpeg on the PATH.
    mkdir "$out/bin"
    ! PATH="$out/bin" "$KERV16" --capture "$out/v.mp4" --until 500 2> "$out/err.txt" || fail "no ffmpeg, yet success"
    grep -q "cannot write $out/v.mp4: ffmpeg was not found" "$out/err.txt" || fail "no ffmpeg: message"
    [ -z "$(ls "$out" | grep -v -e bin -e err.txt)" ] || fail "no ffmpeg: files left: $(ls "$out")"
    # An ffmpeg that writes some of the file, then dies of a signal.
    printf '#!/bin/sh\nfor a; do last=$a; done\necho half > "$last"\nhead -c 20000000 > /dev/null\nkill -9 $$\n' \
        > "$out/bin/ffmpeg"
    chmod +x "$out/bin/ffmpeg"
    ! PATH="$out/bin:$PATH" "$KERV16" --capture "$out/v.mp4" --until 5000 2> "$out/err.txt" ||
        fail "ffmpeg died, yet success"
    grep -q "cannot write $out/v.mp4: ffmpeg was ended by signal 9" "$out/err.txt" || fail "ffmpeg died: message"
    [ -z "$(ls "$out" | grep -v -e bin -e err.txt)" ] || fail "ffmpeg died: files left: $(ls "$out")"
    # Interrupted: the show ends, ffmpeg finishes what was drawn, and it stays under the .part name.
    rm -f "$out/bin/ffmpeg"
    "$KERV16" --capture "$out/i.mp4" --scale 1 --until 60000 2> "$out/err.txt" &
    pid=$!
    for _ in $(seq 100); do [ -s "$out/i.part.mp4" ] && grep -q ' [1-9][0-9]* frames' "$out/err.txt" && break; sleep 0.1; done
    sleep 0.5
    kill -INT $pid
    ! wait $pid || fail "interrupted, yet success"
    grep -q "the capture stopped at [0-9]* of 60000 ms: what was drawn is in $out/i.part.mp4" "$out/err.txt" ||
        fail "interrupted: message"
    [ ! -e "$out/i.mp4" ] || fail "interrupted: the file has the name asked for"
    ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$out/i.part.mp4" | grep -q '^video$' ||
        fail "interrupted: what was drawn is not a video"
    ;;
esac
echo "PASS ($WHAT)"
