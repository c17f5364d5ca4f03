// "Download all": the signal files as one ZIP archive, stored (no compression), put together
// from the files' own Blobs, so no byte is copied: only the headers are made here. An entry or
// an archive past 4 GB gets the ZIP64 fields. Names are UTF-8 (general purpose flag bit 11).
'use strict';

const Zip32Limit = 0xffffffff; // a field of 4 bytes holding this says: see the ZIP64 field
const Zip16Limit = 0xffff;
const ZipVersion = 20;   // 2.0: stored files in folders
const Zip64Version = 45; // 4.5: ZIP64
const ZipUtf8Names = 0x0800;

// Little-endian fields one after the other: [bytes, value] pairs, 8-byte values as BigInt.
function zipFields(fields) {
    const length = fields.reduce((sum, [bytes, value]) => sum + (bytes || value.length), 0);
    const out = new Uint8Array(length);
    const view = new DataView(out.buffer);
    let at = 0;
    for (const [bytes, value] of fields) {
        if (bytes === 2)
            view.setUint16(at, value, true);
        else if (bytes === 4)
            view.setUint32(at, value, true);
        else if (bytes === 8)
            view.setBigUint64(at, BigInt(value), true);
        else
            out.set(value, at);
        at += bytes || value.length;
    }
    return out;
}

// The date and time in the format's MS-DOS form, local time, from 1980 on.
function zipDateTime(date) {
    const year = Math.max(date.getFullYear(), 1980) - 1980;
    return {
        time: (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1),
        date: (year << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
    };
}

// The parts of the archive of the entries ({name, data, crc, date}; data a Blob, or anything
// with a size), in order, for new Blob(parts): headers as Uint8Arrays, and each entry's data.
function archiveParts(entries) {
    const encoder = new TextEncoder();
    const parts = [];
    const central = [];
    let offset = 0;
    for (const entry of entries) {
        const name = encoder.encode(entry.name);
        const size = entry.data.size;
        const big = size >= Zip32Limit;
        const far = offset >= Zip32Limit;
        const version = big || far ? Zip64Version : ZipVersion;
        const {time, date} = zipDateTime(entry.date);
        const common = [
            [2, version], [2, ZipUtf8Names], [2, 0], [2, time], [2, date], [4, entry.crc],
            [4, big ? Zip32Limit : size], [4, big ? Zip32Limit : size], [2, name.length]
        ];
        const localExtra = big ? [[2, 1], [2, 16], [8, size], [8, size]] : [];
        const local =
            zipFields([[4, 0x04034b50], ...common, [2, big ? 20 : 0], [0, name], ...localExtra]);
        const centralExtra =
            [...(big ? [[8, size], [8, size]] : []), ...(far ? [[8, offset]] : [])];
        const extraLength = centralExtra.length ? 4 + 8 * centralExtra.length : 0;
        const extraHeader = extraLength ? [[2, 1], [2, extraLength - 4]] : [];
        central.push(zipFields([
            [4, 0x02014b50], [2, version], ...common, [2, extraLength], [2, 0], [2, 0], [2, 0],
            [4, 0], [4, far ? Zip32Limit : offset], [0, name], ...extraHeader, ...centralExtra
        ]));
        parts.push(local, entry.data);
        offset += local.length + size;
    }
    const centralSize = central.reduce((sum, header) => sum + header.length, 0);
    parts.push(...central);
    const count = entries.length;
    if (count >= Zip16Limit || offset >= Zip32Limit || centralSize >= Zip32Limit) {
        const end64 = offset + centralSize;
        parts.push(zipFields([
            [4, 0x06064b50], [8, 44], [2, Zip64Version], [2, Zip64Version], [4, 0], [4, 0],
            [8, count], [8, count], [8, centralSize], [8, offset]
        ]));
        parts.push(zipFields([[4, 0x07064b50], [4, 0], [8, end64], [4, 1]]));
    }
    parts.push(zipFields([
        [4, 0x06054b50], [2, 0], [2, 0], [2, Math.min(count, Zip16Limit)],
        [2, Math.min(count, Zip16Limit)], [4, Math.min(centralSize, Zip32Limit)],
        [4, Math.min(offset, Zip32Limit)], [2, 0]
    ]));
    return parts;
}
