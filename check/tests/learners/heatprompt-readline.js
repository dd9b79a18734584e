// A learner's heatprompt in Node.js, as most write it: readline's
// question(), which at a terminal draws its prompt with cursor moves.
const readline = require('readline');

function toFloat(line) {
    if (line === undefined || line.trim() === '')
        return 100;
    const m = /^\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?/.exec(line);
    if (!m)
        return 0;
    const v = Number(m[0]);
    if (Math.abs(v) > 3.4028234663852886e38)
        return v > 0 ? 3.4028234663852886e38 : -3.4028234663852886e38;
    return Math.fround(v);
}

function classify(t) {
    if (t <= 0)
        console.log('Machine State: Powered off?');
    else if (t >= 212)
        console.log('Machine State: Overheating');
    else
        console.log('Machine State: Operating Normally');
}

const rl = readline.createInterface({input: process.stdin, output: process.stdout});
let answered = false;
rl.question('Enter Machine Temperature: ', (line) => {
    answered = true;
    rl.close();
    classify(toFloat(line));
});
rl.on('close', () => {
    if (!answered) {
        answered = true;
        classify(toFloat(undefined));
    }
});
