// Prints what mdb-reader sees in an Access file, as JSON on standard output:
//   node dump.mjs FILE [--password P] [--table NAME] [--all]
// {"tables": [{"name": ..., "columns": [{"name", "type", "size", "precision", "scale"}],
//              "rows": [[...], ...]}]}
// Values: text as is, numbers as numbers, big integers and currency as text,
// dates as "yyyy-mm-dd hh:mm:ss" (UTC fields, as mdb-reader builds them),
// binary as upper-case hexadecimal, booleans as true/false.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const args = process.argv.slice(2);
let file = null, password = undefined, only = null, all = false;
for (let i = 0; i < args.length; ++i) {
  if (args[i] === "--password") password = args[++i];
  else if (args[i] === "--table") only = args[++i];
  else if (args[i] === "--all") all = true;
  else file = args[i];
}
if (!file) {
  console.error("usage: node dump.mjs FILE [--password P] [--table NAME] [--all]");
  process.exit(2);
}

function pad(n, w = 2) { return String(n).padStart(w, "0"); }

function value(v) {
  if (v === null || v === undefined) return null;
  if (v instanceof Date) {
    return `${pad(v.getUTCFullYear(), 4)}-${pad(v.getUTCMonth() + 1)}-${pad(v.getUTCDate())} ` +
      `${pad(v.getUTCHours())}:${pad(v.getUTCMinutes())}:${pad(v.getUTCSeconds())}`;
  }
  if (Buffer.isBuffer(v) || v instanceof Uint8Array) return Buffer.from(v).toString("hex").toUpperCase();
  if (typeof v === "bigint") return v.toString();
  if (Array.isArray(v)) return v.map(value);
  if (typeof v === "object") return JSON.parse(JSON.stringify(v));
  return v;
}

try {
  const reader = new MDBReader(readFileSync(file), password === undefined ? {} : { password });
  const names = only ? [only] : reader.getTableNames({ normalTables: true, systemTables: all, linkedTables: false });
  const tables = names.map((name) => {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => ({
      name: c.name, type: c.type, size: c.size, precision: c.precision ?? null, scale: c.scale ?? null,
    }));
    const rows = table.getData().map((row) => columns.map((c) => value(row[c.name])));
    return { name, columns, rows, rowCount: table.rowCount };
  });
  process.stdout.write(JSON.stringify({ tables }) + "\n");
} catch (e) {
  console.error(String(e && e.message ? e.message : e));
  process.exit(1);
}
