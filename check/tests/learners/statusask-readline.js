// A learner's statusask in Node.js: readline, reading on past blank lines
// as C++'s >> does.
const readline = require('readline');

function codeOf(word) {
    const m = /^[-+]?\d+/.exec(word);
    if (!m)
        return 0;
    const n = Number(m[0]);
    return Math.max(-2147483648, Math.min(2147483647, n));
}

function name(state) {
    const names = {1: 'Job Running', 2: 'Waiting for next Job',
                   3: 'Job Timeout - Malfunctioning', 4: 'Malfunctioning', 5: 'Malfunctioning'};
    return names[state] || 'Unknown State';
}

const rl = readline.createInterface({input: process.stdin, output: process.stdout});
let state = 1, answered = false;
rl.setPrompt('Input Machine State (1-5):');
rl.prompt();
rl.on('line', (line) => {
    if (line.trim() === '')
        return;
    state = codeOf(line.trim().split(/\s+/)[0]);
    answered = true;
    rl.close();
});
rl.on('close', () => {
    console.log('\nMachine State: ' + name(state));
});
