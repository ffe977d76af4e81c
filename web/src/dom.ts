// An element of the page by its id.
export const $ = <T extends HTMLElement = HTMLElement>(id: string) => document.getElementById(id) as T;
