// Every operation in docs/api.md is declared in vesk.d.ts, and the example uses every
// declared member: so the declarations cannot drift from the docs unnoticed.
'use strict';
const fs = require('fs');
const [apiMd, dts, example] = process.argv.slice(2).map(f => fs.readFileSync(f, 'utf8'));
// Names in api.md that are callbacks or page functions, not operations.
const notOperations = new Set(['open', 'name', 'close', 'callback', 'stateCallback', 'entry', 'ok', 'error',
                               'progress', 'onProcess', 'onFinish', 'onError', 'exit']);
const declared = new Set([...dts.matchAll(/^\s+(\w+)\??(?:<\w+>)?\(/gm)].map(m => m[1]));
const problems = [];
for (const m of apiMd.matchAll(/`(?:[a-z]+\.)?([A-Za-z_]\w*)\(/g))
  if (!notOperations.has(m[1]) && !declared.has(m[1])) problems.push('in docs/api.md, not declared: ' + m[1]);
for (const name of declared)
  if (!new RegExp('\\.' + name + '\\b').test(example)) problems.push('declared, not used by the example: ' + name);
if (!declared.has('exit')) problems.push('not declared: exit');
for (const p of new Set(problems)) console.error(p);
process.exit(problems.length ? 1 : 0);
