#!/usr/bin/env bash
# Writes the fuzz target's seed corpus: small Wave files, good and broken, each named for what
# it holds. The files are kept in the repository; run this again only to change them.
# Bytes are handled as hexadecimal words ("52 49 46 46"), so zero bytes never pass through a
# shell variable.
set -euo pipefail
cd "$(dirname "$0")"
out=corpus
rm -rf "$out"
mkdir -p "$out"

# Hex words of text, of little-endian integers, and of repeated bytes.
text() { printf '%s' "$1" | od -An -v -tx1 | tr -s ' \n' '  '; }
u16() { printf '%02x %02x ' $(($1 & 255)) $((($1 >> 8) & 255)); }
u32() { printf '%02x %02x %02x %02x ' $(($1 & 255)) $((($1 >> 8) & 255)) \
        $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
times() { local i; for ((i = 0; i < $2; i++)); do printf '%s ' "$1"; done; }
count() { wc -w <<<"$1"; }

# A chunk: identifier, the payload's size, the payload, a pad byte after an odd payload.
chunk() {
    local n
    n=$(count "$2")
    printf '%s %s %s ' "$(text "$1")" "$(u32 "$n")" "$2"
    if ((n % 2 == 1)); then printf '00 '; fi
}
# The 16-byte format body: tag, channels, rate, block alignment, bits; extra bytes after.
fmt_body() {
    printf '%s%s%s%s%s%s%s' "$(u16 "$1")" "$(u16 "$2")" "$(u32 "$3")" "$(u32 $(($3 * $4)))" \
        "$(u16 "$4")" "$(u16 "$5")" "${6:-}"
}
# A data chunk whose size field is given apart from the bytes that follow it.
data_declared() { printf '%s %s %s ' "$(text data)" "$(u32 "$1")" "${2:-}"; }
# "RIFF", the size of what follows, "WAVE", then the chunks.
riff() {
    local body
    body="$(text WAVE) $1"
    printf '%s %s %s ' "$(text RIFF)" "$(u32 "$(count "$body")")" "$body"
}
# A canonical file: 16-byte format chunk, then the data chunk.
wave() { riff "$(chunk 'fmt ' "$(fmt_body "$1" "$2" "$3" "$4" "$5" "${7:-}")") $(chunk data "$6")"; }
save() {
    local word
    for word in $2; do printf "\\x$word"; done >"$out/$1"
}
# The first n bytes of a hex string, and all but the first n.
head_bytes() { tr -s ' ' '\n' <<<"$2" | grep -v '^$' | head -n "$1" | tr '\n' ' '; }
skip_bytes() { tr -s ' ' '\n' <<<"$2" | grep -v '^$' | tail -n "+$(($1 + 1))" | tr '\n' ' '; }

s8="00 80 ff 40 c0 7f 01 81"
s16="$(u16 0)$(u16 1000)$(u16 -32768)$(u16 32767)$(u16 -1)$(u16 12345)"
s24="ff ff 7f 00 00 80 ff ff ff 01 00 00 00 00 40"
canonical16="$(wave 1 1 8000 2 16 "$s16")"

# Files the program converts.
save pcm8_canonical.wav "$(wave 1 1 8000 1 8 "$s8")"
save pcm16_canonical.wav "$canonical16"
save pcm24_canonical.wav "$(wave 1 1 48000 3 24 "$s24")"
save pcm8_all_128.wav "$(wave 1 1 11025 1 8 "$(times 80 16)")"
save pcm16_all_zero.wav "$(wave 1 1 22050 2 16 "$(times 00 16)")"
save pcm16_peak_negative.wav "$(wave 1 1 44100 2 16 "$(u16 -300)$(u16 300)$(u16 -299)")"
save pcm16_one_sample.wav "$(wave 1 1 44100 2 16 "$(u16 7)")"
save pcm16_no_samples.wav "$(wave 1 1 44100 2 16 "")"
save pcm16_channels_257.wav "$(wave 1 257 8000 2 16 "$s16")"
save pcm16_rate_0.wav "$(wave 1 1 0 2 16 "$s16")"
save pcm16_rate_negative.wav "$(wave 1 1 -8000 2 16 "$s16")"
save pcm16_rate_1.wav "$(wave 1 1 1 2 16 "$s16")"
save pcm24_align_3_bits_24_rate_192k.wav "$(wave 1 1 192000 3 24 "$s24 12 34 56")"
save pcm16_list_before_data.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 44100 2 16)") \
$(chunk LIST "$(text INFOISFT) $(u32 13) $(text 'recorder 1.0') 00") $(chunk data "$s16")")"
save pcm16_fmt18.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 44100 2 16 "$(u16 0)")") \
$(chunk data "$s16")")"
save pcm24_fmt18_fact.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 48000 3 24 "$(u16 0)")") \
$(chunk fact "$(u32 5)") $(chunk data "$s24")")"
save pcm8_odd_chunk_padded.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 1 8)") \
$(chunk junk "01 02 03") $(chunk data "$s8 55")")"
save pcm16_odd_data_size_201.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared 201 "$s16")")"
save pcm16_odd_data_size_203.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared 203 "$s16")")"
save pcm16_two_data_chunks.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16 "$(u16 0)")") \
$(chunk data "$(u16 5)") $(chunk data "$s16")")"

# Data sizes beyond the file: zero-filled samples, arrays too large, negative counts.
save pcm16_declared_beyond_file.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared 1000 "$s16")")"
save pcm8_declared_beyond_file.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 1 8)") \
$(data_declared 40 "$s8")")"
save pcm8_data_size_huge.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 1 8)") \
$(data_declared 0x7fffffff "$s8")")"
save pcm16_data_size_past_32_bits.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared 0x40000000 "$s16")")"
save pcm24_data_size_huge.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 3 24)") \
$(data_declared 0x7ffffffe "$s24")")"
save pcm16_data_size_negative.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared -4 "$s16")")"
save pcm16_data_size_min.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared 0x80000000 "$s16")")"
save pcm16_data_size_zero.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(data_declared 0 "$s16")")"

# Chunk walks: huge and odd sizes, no data chunk, a data header cut short.
save pcm16_huge_chunk_before_data.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(text LIST) $(u32 0xfffffff0) $(chunk data "$s16")")"
save pcm16_chunk_size_odd_max.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(text junk) $(u32 0xffffffff) $(chunk data "$s16")")"
save pcm16_no_data_chunk.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16)") \
$(chunk LIST "$(text INFO)")")"
save pcm16_data_header_cut.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 1 1 8000 2 16 "$(u16 0)")") \
$(text data) 10 00")"
save pcm16_data_chunk_first.wav "$(riff "$(chunk data "$(fmt_body 1 1 8000 2 16) $s16")")"

# Files only the command line's reading options read: extensible PCM and float (extra size 22,
# valid bits, channel mask, sub-format GUID), 64-bit float with a NaN, 24 bits in 4-byte
# slots, three channels, and an extensible file with no data chunk.
guid_tail="00 00 00 00 00 10 00 80 00 00 aa 00 38 9b 71"
ext_extra() { printf '%s%s%s%s %s ' "$(u16 22)" "$(u16 "$1")" "$(u32 4)" "$2" "$guid_tail"; }
save extensible_float32.wav "$(wave 0xfffe 1 44100 4 32 "00 00 80 3f 00 00 00 bf 00 00 00 00" \
    "$(ext_extra 32 03)")"
save extensible_pcm32_valid24.wav "$(wave 0xfffe 1 48000 4 32 "5a ff ff 7f 00 00 00 80 01 00 00 00" \
    "$(ext_extra 24 01)")"
save extensible_stereo16.wav "$(wave 0xfffe 2 44100 4 16 "$s16" "$(ext_extra 16 01)")"
save extensible_no_data_chunk.wav "$(riff "$(chunk 'fmt ' "$(fmt_body 0xfffe 1 8000 2 16 \
"$(ext_extra 16 01)")")")"
save float64_nan.wav "$(wave 3 1 8000 8 64 "00 00 00 00 00 00 f0 3f 00 00 00 00 00 00 f8 7f")"
save pcm24_slots_4.wav "$(wave 1 1 48000 4 24 "ff ff 7f 00 00 00 80 ff 01 00 00 00")"
save pcm8_three_channels.wav "$(wave 1 3 8000 3 8 "$s8 00")"

# Refusals, in the order the checks are made.
save empty.wav ""
save short_rif.wav "$(text RIF)"
save not_riff_rifx.wav "$(text RIFX) $(skip_bytes 4 "$canonical16")"
save not_wave_avi.wav "$(text RIFF) $(u32 28) $(text 'AVI ') $(times 00 24)"
save riff_lowercase.wav "$(text riff) $(u32 28) $(text WAVE) $(times 00 24)"
save float32_tag3.wav "$(wave 3 1 44100 4 32 "00 00 80 3f 00 00 80 bf")"
save extensible_tag.wav "$(wave 0xfffe 1 44100 2 16 "$s16")"
save stereo16.wav "$(wave 1 2 44100 4 16 "$s16")"
save pcm12.wav "$(wave 1 1 8000 2 12 "$s16")"
save pcm32.wav "$(wave 1 1 8000 4 32 "$s16")"
save pcm24_align_4.wav "$(wave 1 1 48000 4 24 "$s24 00")"
save pcm_bits_0.wav "$(wave 1 1 8000 0 0 "")"

# Headers cut at each field.
for length in 11 12 21 22 23 35 36 40 42 43 44; do
    save "truncated_$length.wav" "$(head_bytes "$length" "$canonical16")"
done

# The containers for files past 4 GB, which --any-pcm reads: RF64 and BW64, whose first chunk,
# ds64, gives the 64-bit sizes of the chunks whose 32-bit size is 0xffffffff (the data chunk's,
# and others' through its table), and Wave64, whose chunks are GUIDs with 64-bit sizes that count
# their 24-byte header, padded to 8 bytes.
u64() { printf '%s%s' "$(u32 $(($1 & 0xffffffff)))" "$(u32 $((($1 >> 32) & 0xffffffff)))"; }
# ds64: the RIFF size, the data size, the sample count, then the table's entries.
ds64() { chunk ds64 "$(u64 "$1")$(u64 "$2")$(u64 0)$(u32 "$3") ${4:-}"; }
# "RF64" or "BW64", 0xffffffff, "WAVE", then the chunks.
big_riff() { printf '%s ff ff ff ff %s %s ' "$(text "$1")" "$(text WAVE)" "$2"; }
unsized() { printf '%s ff ff ff ff %s ' "$(text "$1")" "$2"; }
guid_of() { printf '%s f3 ac d3 11 8c d1 00 c0 4f 8e db 8a ' "$(text "$1")"; }
chunk64() {
    local n
    n=$(count "$2")
    printf '%s %s %s ' "$(guid_of "$1")" "$(u64 $((n + 24)))" "$2"
    times 00 $(((8 - n % 8) % 8))
}
wave64() {
    local body
    body="$(guid_of wave) $1"
    printf '72 69 66 66 2e 91 cf 11 a5 d6 28 db 04 c1 00 00 %s %s ' \
        "$(u64 $(($(count "$body") + 24)))" "$body"
}
fmt16="$(fmt_body 1 1 8000 2 16)"
save rf64_pcm16.wav "$(big_riff RF64 "$(ds64 72 12 0) $(chunk 'fmt ' "$fmt16") \
$(unsized data "$s16")")"
save rf64_table_pcm24.wav "$(big_riff RF64 "$(ds64 96 15 1 "$(text bext) $(u64 5)") \
$(chunk 'fmt ' "$(fmt_body 1 1 48000 3 24)") $(unsized bext "01 02 03 04 05") 00 \
$(unsized data "$s24") 00")"
save rf64_data_size_in_chunk_pcm8.wav "$(big_riff RF64 "$(ds64 0 0 0) \
$(chunk 'fmt ' "$(fmt_body 1 1 8000 1 8)") $(chunk data "$s8")")"
save rf64_data_size_past_32_bits.wav "$(big_riff RF64 "$(ds64 72 0x100000004 0) \
$(chunk 'fmt ' "$fmt16") $(unsized data "$s16")")"
save rf64_no_ds64.wav "$(big_riff RF64 "$(chunk 'fmt ' "$fmt16") $(unsized data "$s16")")"
save bw64_stereo16.wav "$(big_riff BW64 "$(ds64 72 12 0) \
$(chunk 'fmt ' "$(fmt_body 1 2 44100 4 16)") $(unsized data "$s16")")"
save w64_pcm16.wav "$(wave64 "$(chunk64 'fmt ' "$fmt16") $(chunk64 data "$s16")")"
save w64_padded_chunk_pcm24.wav "$(wave64 "$(chunk64 'fmt ' "$(fmt_body 1 1 48000 3 24)") \
$(chunk64 junk "01 02 03") $(chunk64 data "$s24")")"
save w64_chunk_shorter_than_header.wav "$(wave64 "$(guid_of 'fmt ') $(u64 23) $fmt16 \
$(chunk64 data "$s16")")"
# A-law (tag 6) and µ-law (tag 7): every code, stereo, extensible, and inside the containers.
all_codes="$(for ((i = 0; i < 256; i++)); do printf '%02x ' "$i"; done)"
save alaw_all_codes.wav "$(wave 6 1 8000 1 8 "$all_codes")"
save mulaw_all_codes.wav "$(wave 7 1 8000 1 8 "$all_codes")"
save alaw_stereo.wav "$(wave 6 2 8000 2 8 "$s8")"
save extensible_mulaw.wav "$(wave 0xfffe 1 8000 1 8 "$s8" "$(ext_extra 8 07)")"
save rf64_mulaw.wav "$(big_riff RF64 "$(ds64 64 8 0) $(chunk 'fmt ' "$(fmt_body 7 1 8000 1 8)") \
$(unsized data "$s8")")"
save w64_alaw.wav "$(wave64 "$(chunk64 'fmt ' "$(fmt_body 6 1 8000 1 8)") $(chunk64 data "$s8")")"
# The walk's edges: the format chunk sized through the ds64 table, a table size that with the
# chunk's header comes round past 2^64, a ds64 chunk too short for its data size (read from the
# bytes after it), extensible A-law stereo in RF64, and a Wave64 data chunk before the format.
save rf64_table_sizes_fmt.wav "$(big_riff RF64 "$(ds64 84 12 1 "$(text 'fmt ') $(u64 16)") \
$(unsized 'fmt ' "$fmt16") $(unsized data "$s16")")"
save rf64_table_size_wraps.wav "$(big_riff RF64 "$(ds64 84 12 1 "$(text junk) $(u64 -8)") \
$(chunk 'fmt ' "$fmt16") $(unsized junk "") $(unsized data "$s16")")"
save rf64_ds64_short.wav "$(big_riff RF64 "$(chunk ds64 "$(u64 72)") $(chunk 'fmt ' "$fmt16") \
$(unsized data "$s16")")"
save rf64_extensible_alaw_stereo.wav "$(big_riff RF64 "$(ds64 72 8 0) \
$(chunk 'fmt ' "$(fmt_body 0xfffe 2 8000 2 8 "$(ext_extra 8 06)")") $(unsized data "$s8")")"
save w64_data_before_fmt.wav "$(wave64 "$(chunk64 data "$s16") $(chunk64 'fmt ' "$fmt16")")"
