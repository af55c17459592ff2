// Runs the glTF validator on each file named and prints its report: a line per file with
// the counts, then a line per issue. Exit status 0 when no file has an error (warnings,
// infos and hints are printed but pass), 1 when one has, 2 when the validator cannot be
// loaded or a file cannot be read.
//
//   node validate_gltf.mjs VALIDATOR_FOLDER FILE...
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import path from 'node:path';

const [validatorFolder, ...files] = process.argv.slice(2);
if (!validatorFolder || files.length === 0) {
    console.error('usage: node validate_gltf.mjs VALIDATOR_FOLDER FILE...');
    process.exit(2);
}

let validator;
try {
    validator = createRequire(path.resolve(validatorFolder, 'package.json'))('./index.js');
} catch (error) {
    console.error(`cannot load the glTF validator from ${validatorFolder}: ${error.message}`);
    process.exit(2);
}

const severityNames = ['error', 'warning', 'info', 'hint'];
let failed = false;
for (const file of files) {
    let bytes;
    try {
        bytes = new Uint8Array(await readFile(file));
    } catch (error) {
        console.error(`${file}: cannot read: ${error.message}`);
        process.exit(2);
    }
    let report;
    try {
        report = await validator.validateBytes(bytes, {
            uri: path.basename(file),
            maxIssues: 0,
            writeTimestamp: false,
        });
    } catch (error) {
        console.log(`${file}: not validated: ${error}`);
        failed = true;
        continue;
    }
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos, ${issues.numHints} hints`);
    for (const message of issues.messages) {
        console.log(`  ${severityNames[message.severity]} ${message.code} ` +
                    `${message.pointer ?? ''}: ${message.message}`);
    }
    failed ||= issues.numErrors > 0;
}
process.exit(failed ? 1 : 0);
